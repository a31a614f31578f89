#include "ui/ConsoleCommands.h"

#include <strings.h>

#include <QFileInfo>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/DailyRun.h"
#include "app/DeadlineListing.h"
#include "app/SavedListExport.h"
#include "platform/ProgramInfo.h"
#include "platform/SettingsBackend.h"
#include "platform/qt/QtSettingsBackend.h"
#include "run/Terminal.h"

namespace larkspire {
namespace {

constexpr int kUsageErrorCode = 2;

// The usage ends with its own line feed; PrintLine adds one.
std::string WithoutLastLineEnd(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The settings as they are, read only: a configuration that does not exist is not created
// just to find it empty.
std::unique_ptr<ISettingsBackend> ReadSettings() {
  const QString settings_path = DefaultSettingsPath();
  if (QFileInfo::exists(settings_path)) return std::make_unique<CQtSettingsBackend>(settings_path);
  return std::make_unique<CMemorySettingsBackend>();
}

int ExportList(const std::string& csv_path) {
  std::string error;
  if (ExportSavedList(*ReadSettings(), csv_path, error)) return 0;
  PrintLine(stderr, error);
  return 1;
}

int ListDeadlines(const std::string& csv_path) {
  std::string table;
  std::string error;
  if (!ListSavedDeadlines(*ReadSettings(), csv_path, table, error)) {
    PrintLine(stderr, error);
    return 1;
  }
  if (!table.empty()) PrintLine(stdout, WithoutLastLineEnd(table));
  return 0;
}

int ScheduleFromCommandLine(const std::string& word) {
  std::optional<CDailyTime> time;
  if (strcasecmp(word.c_str(), "off") != 0) {
    time = ParseDailyTime(word);
    if (!time) {
      PrintLine(stderr, BadDailyTimeMessage(word));
      return kUsageErrorCode;
    }
  }
  const CScheduleResult result = ScheduleDailyRun(RunningProgramPath(), time);
  PrintLine(result.done ? stdout : stderr, result.message);
  return result.done ? 0 : 1;
}

}  // namespace

std::optional<int> RunConsoleCommand(const std::vector<std::string>& args) {
  const CommandLineRequest request = ParseCommandRequest(args);
  switch (request.request) {
    case CommandRequest::kRun:
      return std::nullopt;
    case CommandRequest::kHelp:
      PrintLine(stdout, WithoutLastLineEnd(UsageText()));
      return 0;
    case CommandRequest::kVersion:
      PrintLine(stdout, VersionLine());
      return 0;
    case CommandRequest::kUsageError:
      PrintLine(stderr, (request.missing_argument_of == "-export"
                             ? "-export needs the name of the CSV file to write."
                             : "-schedule needs the time of the daily run (HH:MM) or off.") +
                            std::string("\n\n") + WithoutLastLineEnd(UsageText()));
      return kUsageErrorCode;
    case CommandRequest::kExport:
      return ExportList(request.export_path);
    case CommandRequest::kDeadlines:
      return ListDeadlines(request.export_path);
    case CommandRequest::kSchedule:
      return ScheduleFromCommandLine(request.schedule);
  }
  return std::nullopt;
}

}  // namespace larkspire
