#include "app/ConfigureFlow.h"

#include "app/AppCore.h"
#include "entries/Entry.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "notify/PublisherConsent.h"
#include "notify/Templates.h"
#include "platform/ProgramInfo.h"

namespace larkspire {

const char* const kDisclaimer =
    "Larkspire is provided free of charge, on an \"as is\" basis, to help you monitor the "
    "status of patents and patent applications. It reads what the USPTO's PAIR system shows "
    "and does not replace your own docketing.\n\n"
    "While we have tried to make the program convenient and reliable, we cannot promise that "
    "the program will be perfectly reliable.\n\n"
    "Do you agree to these terms?";

namespace {

constexpr const char* kTestOffer =
    "It is a good idea to test your e-mail connection by sending a test message to the return "
    "address you gave in the configuration step.\n\n"
    "In order to send e-mail you must be able to access your SMTP server. If you use a remote "
    "SMTP server at an ISP that you access via a modem, you must connect to your ISP now.\n\n"
    "Do you want to do test your e-mail connection right now?";

bool CloseWindow(AppCore& app) {
  if (app.Ui()) app.Ui()->RequestClose();
  return false;
}

// The last part of the shortcut folder, which the user knows from the menu.
std::string FolderName(const std::string& folder) {
  std::string trimmed = folder;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return trimmed.substr(trimmed.rfind('/') + 1);
}

// Asked once, with the report shown as it would go; the answer is kept, so an unattended run
// never sends the office's details on an answer nobody gave.
bool AskPublisherReports(AppCore& app) {
  const bool yes = app.MessageBox(PublisherReportsQuestion(app), MsgButtons::kYesNo, MsgAnswer::kNo,
                                  "Reports to the Publisher") == MsgAnswer::kYes;
  app.Settings().PublisherReports.Set(yes ? kPublisherReportsYes : kPublisherReportsNo);
  app.Settings().PublisherReports.Save();
  return yes;
}

}  // namespace

bool ConfigureProgram(AppCore& app, const CConfigureHooks& hooks) {
  for (;;) {
    CSettings& s = app.Settings();
    const bool first = s.OrgName.Text().empty();
    if (first && app.MessageBox(kDisclaimer, MsgButtons::kYesNo, MsgAnswer::kNo, "Disclaimer",
                                std::nullopt, MsgIcon::kWarning) != MsgAnswer::kYes) {
      return CloseWindow(app);
    }
    const std::string old_shortcut_folder = s.ShortcutFolder.Text();
    if (hooks.run_dialog) hooks.run_dialog();

    if (!s.OrgName.Text().empty()) {
      const bool install = first || s.ShortcutFolder.Text() != old_shortcut_folder ||
                           DirectoryOf(app.ProgramPath()) != s.Install.Text();
      if (first) {
        if (AskPublisherReports(app)) PostEmail(app, CEntry(), kTemplateWelcome, "welcome");
        if (app.MessageBox(kTestOffer, MsgButtons::kYesNo, MsgAnswer::kYes) == MsgAnswer::kYes) {
          SendTemplateNow(app, kTemplateTestEmail, MailRecipient::kReturnAddress, true);
        }
      }
      if (install) {
        if (first) {
          app.MessageBox(std::string("A shortcut to ") + kProgramFileName +
                         " has been added to the applications menu under \"" +
                         FolderName(s.ShortcutFolder.Text()) + "\".");
        }
        if (RunInstallation(app, true, hooks.install) != InstallResult::kInstalled) {
          return false;
        }
      }
      return true;
    }
    if (app.MessageBox("You must fill in the configuration information before you can use this "
                       "application. Do you want to quit?",
                       MsgButtons::kYesNo, MsgAnswer::kYes) == MsgAnswer::kYes) {
      return CloseWindow(app);
    }
  }
}

}  // namespace larkspire
