#include "app/AppCore.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "app/CommandLine.h"
#include "app/Upgrade.h"
#include "entries/Entry.h"
#include "net/MailChoice.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "platform/Shortcuts.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

constexpr const char* kDefaultProxy = "127.0.0.1:8080";
// 1970-01-01 as days since 1899-12-30.
constexpr double kUnixEpochAutomation = 25569.0;

}  // namespace

AppCore::AppCore(ISettingsBackend& backend, std::string program_path,
                 const std::string& command_line)
    : CRun(backend, std::move(program_path)) {
  Log().Write("**Larkspire start, local date-time %s**\n",
              FormatDateTime(NowUtcAutomation(), false, false).c_str());
  std::string installed;
  if (std::optional<int64_t> t = LastWriteTime(DirectoryOf(ProgramPath()))) {
    installed =
        FormatDateTime(static_cast<double>(*t) / 86400.0 + kUnixEpochAutomation, false, false);
  }
  Log().Write("**installed date-time %s**\n", installed.c_str());
  Settings().CountExec.Increment();
  if (Settings().GUID.Text().empty()) Settings().GUID.Set(CreateGuidText());

  int sort_field = FindSortField(Settings().SortBy.Text());
  Entries().SetSort(sort_field < 0 ? 0 : sort_field, Settings().SortReversed.Int(0) != 0);

  const std::string running_name = ProgramPath().substr(ProgramPath().rfind('/') + 1);
  if (running_name.find("_temp") == std::string::npos) {
    RemoveUpgradeLeftovers(Settings().LogDir.Text());
  }
  Log().Write("**version %s**\n", VersionText().c_str());
  for (const std::string& line :
       UnknownMailSettings(Settings().Backend().Read(kSettingsGroup, "MailMode").value_or(""),
                           Settings().NotifyChoice.Items())) {
    Log().Write("%s\n", line.c_str());
  }

  if (Settings().ProxyServer.Text().empty()) Settings().ProxyServer.Set(kDefaultProxy);
  if (Settings().ShortcutFolder.Text().empty()) {
    Settings().ShortcutFolder.Set(JoinPath(XdgDataHome(), "applications/Grantwell"));
  }
  if (Settings().Install.Text().empty()) {
    Settings().Install.Set(!Settings().LogDir.Text().empty() || IsPackagedProgram(ProgramPath())
                               ? DirectoryOf(ProgramPath())
                               : JoinPath(XdgDataHome(), "Grantwell"));
  }
  ReleaseTimeout();
  Status().auto_run = HasAutoFlag(command_line);
}

AppCore::~AppCore() {
  // The status-address builder refers to this object.
  SetStatusUrlBuilder({});
  FlowLog().SetEnabled(false);
  Log().Write("**Larkspire stop, local date-time %s**\n",
              FormatDateTime(NowUtcAutomation(), false, false).c_str());
}

std::string AppCore::AcquireInstanceLock() {
  const std::string& dir = Settings().LogDir.Text();
  if (dir.empty()) return std::string();
  const std::string path = JoinPath(dir, kLockFileName);
  switch (lock_.Acquire(path)) {
    case LockOutcome::kHeld:
      return std::string();
    case LockOutcome::kHeldElsewhere:
      return std::string("Only one instance of ") + kProgramFileName + " may be run at a time.";
    case LockOutcome::kUnavailable:
      break;
  }
  if (lock_.Error() == ENOENT && !IsDirectory(dir)) return std::string();
  return "The logging directory cannot be locked, so another copy of " +
         std::string(kProgramFileName) + " could use it at the same time:\n\n" + path + ": " +
         std::system_category().message(lock_.Error()) +
         "\n\nThe lock file must be a plain file that every user of the directory can open.";
}

}  // namespace larkspire
