#include "app/Upgrade.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/AppCore.h"
#include "net/SendMail.h"
#include "net/Signature.h"
#include "notify/EmailQueue.h"
#include "notify/PublisherConsent.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "platform/LzExpand.h"
#include "platform/PrivateDirectory.h"
#include "platform/ProgramFiles.h"
#include "platform/ProgramInfo.h"
#include "retrieval/PublisherFetch.h"
#include "retrieval/RulesUpdate.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

// The unpacked program, or one not open when the download is not a program of this platform or
// cannot be written; nothing is left behind then. The program is written as a new file into a
// new directory of the user's private directory, on a path no other user can change, and kept
// open: what starts is the file that was checked, whatever its name stands for by then.
CUnpackedProgram UnpackProgram(const std::string& body) {
  CUnpackedProgram unpacked;
  std::optional<std::string> expanded = LzExpand(body);
  if (!expanded || !LooksLikeProgram(*expanded)) return unpacked;
  const std::string place = UserPrivateDirectory(true);
  if (place.empty()) return unpacked;
  const std::string folder = MakePrivateDirectory(place, kUpgradeFolderPrefix);
  if (folder.empty()) return unpacked;
  const std::string program = JoinPath(folder, UpgradeFileName());
  if (CreateNewFile(program, *expanded, 0700)) {
    unpacked.file = CHeldProgram(program);
    unpacked.sha256 = Sha256Hex(*expanded);
    if (IsIntact(unpacked)) return unpacked;
    unpacked.file = CHeldProgram();
  }
  RemoveFile(program);
  ::rmdir(folder.c_str());
  return unpacked;
}

// Removes this user's unpack directories in dir.
void RemoveUpgradeFolders(const std::string& dir) {
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  const std::string prefix = kUpgradeFolderPrefix;
  while (const dirent* item = ::readdir(listing)) {
    const std::string name = item->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string folder = JoinPath(dir, name);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
      continue;
    }
    RemoveFile(JoinPath(folder, UpgradeFileName()));
    ::rmdir(folder.c_str());
  }
  ::closedir(listing);
}

}  // namespace

void RemoveUpgradeLeftovers(const std::string& log_dir) {
  if (!log_dir.empty()) {
    // Where versions before the private directory unpacked the program.
    RemoveFile(JoinPath(log_dir, UpgradeFileName()));
    RemoveUpgradeFolders(log_dir);
  }
  const std::string place = UserPrivateDirectory(false);
  if (!place.empty()) RemoveUpgradeFolders(place);
}

bool IsIntact(const CUnpackedProgram& program) {
  std::string bytes;
  return !program.sha256.empty() && program.file.ReadBytes(bytes) &&
         Sha256Hex(bytes) == program.sha256;
}

bool StartUnpackedProgram(const CUnpackedProgram& program) {
  return IsIntact(program) && program.file.StartDetached();
}

std::string NewestVersion(const AppCore& app) { return app.Rules().version.substr(0, 6); }

bool ProgramIsCurrent(const AppCore& app) { return NewestVersion(app) == app.VersionText(); }

std::string TitleVersionSuffix(const AppCore& app) {
  if (app.Rules().version.empty() || ProgramIsCurrent(app)) return std::string();
  const char* how =
      IsPackagedProgram(app.ProgramPath()) ? "upgrade the package" : "use Options|Upgrade";
  return " (v" + NewestVersion(app) + " available - " + how + ")";
}

UpgradeResult UpgradeProgram(AppCore& app,
                             const std::function<void(CUnpackedProgram&& program)>& hand_over) {
  UpdateRules(app);
  if (ProgramIsCurrent(app)) {
    app.MessageBox("You are using the latest version available.");
    return UpgradeResult::kCurrent;
  }
  if (IsPackagedProgram(app.ProgramPath())) {
    app.MessageBox("Version " + NewestVersion(app) +
                   " is available. This copy was installed from a package and is upgraded by "
                   "the system's package manager, for instance with:\n\nsudo apt update && sudo "
                   "apt install --only-upgrade larkspire");
    return UpgradeResult::kPackaged;
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
  CUnpackedProgram program = UnpackProgram(file.bytes);
  if (!program.file.IsOpen()) {
    app.ShowError("Copy failed.", "Couldn't properly copy downloaded file.");
    return UpgradeResult::kCopyFailed;
  }
  if (!PublisherReportsRefused(app)) {
    SendTemplateNow(app, kTemplateUpgrade, MailRecipient::kActivity, false);
  }
  if (hand_over) hand_over(std::move(program));
  if (app.Ui()) app.Ui()->RequestClose();
  return UpgradeResult::kHandedOver;
}

}  // namespace larkspire
