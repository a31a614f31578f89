#include "app/Upgrade.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/AppCore.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "notify/PublisherConsent.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "platform/LzExpand.h"
#include "platform/ProgramFiles.h"
#include "platform/ProgramInfo.h"
#include "retrieval/PublisherFetch.h"
#include "retrieval/RulesUpdate.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

// The unpacked program, or "" when the download is not a program of this platform or cannot be
// written; nothing is left behind then. The program is written as a new file into a new
// directory of the logging directory that only this user may enter, and started from there:
// no other user of a shared logging directory can swap it between the writing and the start.
std::string UnpackProgram(AppCore& app, const std::string& body) {
  const std::string dir = app.Settings().LogDir.Text();
  if (dir.empty()) return std::string();
  std::optional<std::string> expanded = LzExpand(body);
  if (!expanded || !LooksLikeProgram(*expanded)) return std::string();
  const std::string folder = MakePrivateDirectory(dir, kUpgradeFolderPrefix);
  if (folder.empty()) return std::string();
  const std::string program = JoinPath(folder, UpgradeFileName());
  if (!CreateNewFile(program, *expanded, 0700)) {
    ::rmdir(folder.c_str());
    return std::string();
  }
  return program;
}

}  // namespace

void RemoveUpgradeLeftovers(const std::string& log_dir) {
  if (log_dir.empty()) return;
  // Where versions before the private directory unpacked the program.
  RemoveFile(JoinPath(log_dir, UpgradeFileName()));
  DIR* listing = ::opendir(log_dir.c_str());
  if (listing == nullptr) return;
  const std::string prefix = kUpgradeFolderPrefix;
  while (const dirent* item = ::readdir(listing)) {
    const std::string name = item->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string folder = JoinPath(log_dir, name);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
      continue;
    }
    RemoveFile(JoinPath(folder, UpgradeFileName()));
    ::rmdir(folder.c_str());
  }
  ::closedir(listing);
}

std::string NewestVersion(const AppCore& app) { return app.Rules().version.substr(0, 6); }

bool ProgramIsCurrent(const AppCore& app) { return NewestVersion(app) == app.VersionText(); }

std::string TitleVersionSuffix(const AppCore& app) {
  if (app.Rules().version.empty() || ProgramIsCurrent(app)) return std::string();
  return " (v" + NewestVersion(app) + " available - use Options|Upgrade)";
}

UpgradeResult UpgradeProgram(AppCore& app,
                             const std::function<void(const std::string& program)>& hand_over) {
  UpdateRules(app);
  if (ProgramIsCurrent(app)) {
    app.MessageBox("You are using the latest version available.");
    return UpgradeResult::kCurrent;
  }
  if (app.MessageBox("Do you want to download and install the latest version?", MsgButtons::kYesNo,
                     MsgAnswer::kYes) != MsgAnswer::kYes) {
    return UpgradeResult::kDeclined;
  }
  std::string url = LookupRule(app, "location", "appc");
  if (url.empty()) url = LookupRule(app, "location", "app");

  app.FixTimeout(kProgramDownloadTimeoutMs);
  app.BeginBusy(PublisherCaption(url), app.Settings().ProxyServer.Text().empty() ? 1 : 2);
  if (app.Ui()) {
    app.Ui()->SetStatusText(std::string("Download ") + kProgramFileName + " v" +
                            NewestVersion(app));
  }
  CSignedFile file;
  std::string reason;
  // A program is larger than any page; it has a cap of its own.
  const SignedFetch result = FetchSignedFromPublisher(
      app, url, kManifestKindProgram, app.VersionText(), true, file, reason, kDownloadCap);
  app.EndBusy();
  // Later transfers use the configured time-out again.
  app.ReleaseTimeout();

  if (result == SignedFetch::kFailed) {
    app.ShowError("Download Failed", reason);
    return UpgradeResult::kDownloadFailed;
  }
  if (result != SignedFetch::kTaken) {
    // The publisher offers the version that is running although the rules name a newer one.
    if (result == SignedFetch::kCurrent) reason = "it is the version in use";
    app.ShowError("Upgrade Refused",
                  "The downloaded program was refused: " + reason + ". The program in use stays.");
    return UpgradeResult::kRefused;
  }
  const std::string program = UnpackProgram(app, file.bytes);
  if (program.empty()) {
    app.ShowError("Copy failed.", "Couldn't properly copy downloaded file.");
    return UpgradeResult::kCopyFailed;
  }
  if (!PublisherReportsRefused(app)) {
    SendTemplateNow(app, kTemplateUpgrade, MailRecipient::kActivity, false);
  }
  if (hand_over) hand_over(program);
  if (app.Ui()) app.Ui()->RequestClose();
  return UpgradeResult::kHandedOver;
}

}  // namespace larkspire
