#include "ui/ConsoleCommands.h"

#include <QFileInfo>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/SavedListExport.h"
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

int ExportList(const std::string& csv_path) {
  // A configuration that does not exist is not created just to find it empty.
  const QString settings_path = DefaultSettingsPath();
  std::unique_ptr<ISettingsBackend> settings;
  if (QFileInfo::exists(settings_path)) {
    settings = std::make_unique<CQtSettingsBackend>(settings_path);
  } else {
    settings = std::make_unique<CMemorySettingsBackend>();
  }
  std::string error;
  if (ExportSavedList(*settings, csv_path, error)) return 0;
  PrintLine(stderr, error);
  return 1;
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
      PrintLine(stderr, "-export needs the name of the CSV file to write.\n\n" +
                            WithoutLastLineEnd(UsageText()));
      return kUsageErrorCode;
    case CommandRequest::kExport:
      return ExportList(request.export_path);
  }
  return std::nullopt;
}

}  // namespace larkspire
