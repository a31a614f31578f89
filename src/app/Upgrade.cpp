#include "app/Upgrade.h"
#include "notify/Variables.h"

#include "app/AppCore.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "platform/LzExpand.h"
#include "platform/ProgramFiles.h"
#include "platform/ProgramInfo.h"
#include "retrieval/PublisherFetch.h"
#include "retrieval/RulesUpdate.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

// The unpacked program in the logging directory, or "" when the download is not a program
// of this platform or cannot be written; nothing is left behind then.
std::string UnpackProgram(AppCore& app, const std::string& body) {
  const std::string dir = app.Settings().LogDir.Text();
  if (dir.empty()) return std::string();
  const std::string program = JoinPath(dir, UpgradeFileName());
  RemoveFile(program);
  std::optional<std::string> expanded = LzExpand(body);
  if (!expanded || !LooksLikeProgram(*expanded)) return std::string();
  if (!SaveFileAtomically(program, *expanded) || !MarkExecutable(program)) {
    RemoveFile(program);
    return std::string();
  }
  return program;
}

}  // namespace

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
  const SignedFetch result = FetchSignedFromPublisher(app, url, kManifestKindProgram,
                                                      app.VersionText(), true, file, reason);
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
  SendTemplateNow(app, kTemplateUpgrade, MailRecipient::kActivity, false);
  if (hand_over) hand_over(program);
  if (app.Ui()) app.Ui()->RequestClose();
  return UpgradeResult::kHandedOver;
}

}  // namespace larkspire
