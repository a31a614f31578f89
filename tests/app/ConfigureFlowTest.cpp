#include <gtest/gtest.h>

#include <algorithm>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "app/ConfigureFlow.h"
#include "notify/EmailQueue.h"
#include "notify/PublisherConsent.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"

namespace larkspire {
namespace {

class ConfigureFlowTest : public ::testing::Test {
 protected:
  ConfigureFlowTest() {
    MakeDirectories(dir_.File("download"));
    EXPECT_TRUE(SaveFileAtomically(program_, "\177ELF program"));
    app_ = std::make_unique<CTestAppCore>(program_);
    App().FixTimeout(5000);
    hooks_.run_dialog = [this] {
      ++dialogs_;
      if (on_dialog_) on_dialog_();
    };
    hooks_.install.hand_over = [](const std::string&) {};
  }

  AppCore& App() { return **app_; }
  CScriptedUi& Ui() { return app_->Ui(); }

  // What the dialog stores when the user fills it in completely.
  CConfiguration Complete() {
    CConfiguration c;
    c.org_name = "Hollis & Marsh";
    c.smtp_server = smtp_.HostPort();
    c.return_address = "docket@hollis.example";
    c.notify_addresses = {"ann@hollis.example"};
    c.shortcut_folder = dir_.File("menu/Grantwell");
    c.app_dir = dir_.File("apps");
    c.log_dir = dir_.File("log");
    c.report_dir = dir_.File("report");
    for (const std::string* d : {&c.shortcut_folder, &c.app_dir, &c.log_dir, &c.report_dir}) {
      MakeDirectories(*d);
    }
    return c;
  }

  bool SentTo(const std::string& address) {
    const std::vector<std::string> lines = smtp_.Lines();
    return std::find(lines.begin(), lines.end(), "RCPT To: <" + address + ">") != lines.end();
  }

  CTempDir dir_;
  std::string program_ = dir_.File("download/") + kProgramFileName;
  CSmtpTestServer smtp_;
  std::unique_ptr<CTestAppCore> app_;
  CConfigureHooks hooks_;
  std::function<void()> on_dialog_;
  int dialogs_ = 0;
};

TEST_F(ConfigureFlowTest, TheFirstRunEndsConfiguredInstalledAndWithTheWelcomeQueued) {
  on_dialog_ = [this] { StoreConfiguration(App(), Complete()); };
  // The disclaimer, the reports to the publisher, the test e-mail.
  Ui().answers = {MsgAnswer::kYes, MsgAnswer::kYes, MsgAnswer::kYes};
  EXPECT_TRUE(ConfigureProgram(App(), hooks_));

  ASSERT_EQ(Ui().messages.size(), 5u);
  // The question about the publisher shows the office's details the report carries.
  const CScriptedUi::Message question = Ui().messages[1];
  Ui().messages.erase(Ui().messages.begin() + 1);
  EXPECT_EQ(question.caption, std::string(kCaption) + " - Reports to the Publisher");
  EXPECT_EQ(question.buttons, MsgButtons::kYesNo);
  EXPECT_EQ(question.default_answer, MsgAnswer::kNo);
  for (const std::string& shown : std::vector<std::string>{
           "(activity@larkspire.example)", "Welcome for Hollis & Marsh", "Org Name: Hollis & Marsh",
           "Smtp Server: " + smtp_.HostPort(), "Return Address: docket@hollis.example",
           "Notify Addresses: ann@hollis.example", "GUID: " + App().Settings().GUID.Text(),
           "OS: ", "activity report"}) {
    EXPECT_NE(question.text.find(shown), std::string::npos) << shown << "\n" << question.text;
  }
  EXPECT_EQ(question.text.find('\r'), std::string::npos);
  EXPECT_EQ(App().Settings().PublisherReports.Text(), kPublisherReportsYes);
  EXPECT_EQ(Ui().messages[0].caption, std::string(kCaption) + " - Disclaimer");
  EXPECT_EQ(Ui().messages[0].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(Ui().messages[0].default_answer, MsgAnswer::kNo);
  EXPECT_EQ(Ui().messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(Ui().messages[1].icon, MsgIcon::kDefault);
  EXPECT_NE(Ui().messages[0].text.find("While we have tried to make the program convenient and "
                                       "reliable, we cannot promise that the program will be "
                                       "perfectly reliable."),
            std::string::npos);
  EXPECT_EQ(Ui().messages[0].text.substr(Ui().messages[0].text.size() - 28),
            "Do you agree to these terms?");
  EXPECT_EQ(Ui().messages[1].text,
            "It is a good idea to test your e-mail connection by sending a test message to the "
            "return address you gave in the configuration step.\n\nIn order to send e-mail you "
            "must be able to access your SMTP server. If you use a remote SMTP server at an ISP "
            "that you access via a modem, you must connect to your ISP now.\n\nDo you want to do "
            "test your e-mail connection right now?");
  EXPECT_EQ(Ui().messages[2].text, "E-mail was sent successfully.");
  EXPECT_EQ(Ui().messages[3].text,
            std::string("A shortcut to ") + kProgramFileName +
                " has been added to the applications menu under \"Grantwell\".");
  // The test message went to the return address at once.
  ASSERT_TRUE(smtp_.WaitForSessions(1));
  EXPECT_TRUE(SentTo("docket@hollis.example"));
  // Installed.
  EXPECT_TRUE(FileExists(dir_.File("apps/") + kProgramFileName));
  EXPECT_TRUE(FileExists(dir_.File("menu/Grantwell/Larkspire.desktop")));

  // The welcome report waits for the next batch, which sends it to the publisher only.
  std::string pending;
  ASSERT_TRUE(ReadWholeFile(dir_.File("log/Larkspire_pending.tmp"), pending));
  EXPECT_EQ(pending, "Larkspire_welcome.tmp\r\n");
  EXPECT_TRUE(SendPendingEmail(App(), false, false));
  ASSERT_TRUE(smtp_.WaitForSessions(2));
  EXPECT_TRUE(SentTo("activity@larkspire.example"));
  EXPECT_FALSE(SentTo("ann@hollis.example"));
  EXPECT_NE(smtp_.Data().find("Hollis & Marsh"), std::string::npos);
}

TEST_F(ConfigureFlowTest, NoToThePublisherQueuesNothingAndKeepsTheAnswerForLaterRuns) {
  on_dialog_ = [this] { StoreConfiguration(App(), Complete()); };
  // The disclaimer, then the reports to the publisher; the test e-mail is declined.
  Ui().answers = {MsgAnswer::kYes, MsgAnswer::kNo, MsgAnswer::kNo};
  EXPECT_TRUE(ConfigureProgram(App(), hooks_));
  EXPECT_EQ(App().Settings().PublisherReports.Text(), kPublisherReportsNo);
  EXPECT_EQ(app_->Backend().Read("Settings", "PublisherReports").value_or(""), kPublisherReportsNo);
  EXPECT_FALSE(FileExists(dir_.File("log/Larkspire_pending.tmp")));
  EXPECT_FALSE(FileExists(dir_.File("log/Larkspire_welcome.tmp")));
  EXPECT_EQ(smtp_.Accepted(), 0);
}

TEST_F(ConfigureFlowTest, ARefusedDisclaimerClosesTheWindowWithoutTheDialog) {
  EXPECT_FALSE(ConfigureProgram(App(), hooks_));
  EXPECT_EQ(dialogs_, 0);
  EXPECT_EQ(Ui().close_requests, 1);
}

TEST_F(ConfigureFlowTest, ReconfiguringInstallsOnlyWhenTheShortcutFolderMoves) {
  StoreConfiguration(App(), Complete());
  App().Settings().Install.Set(dir_.File("download"));
  // Nothing changed: no disclaimer, no welcome, no installation.
  EXPECT_TRUE(ConfigureProgram(App(), hooks_));
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_FALSE(FileExists(dir_.File("menu/Grantwell/Larkspire.desktop")));
  EXPECT_FALSE(FileExists(dir_.File("log/Larkspire_pending.tmp")));

  on_dialog_ = [this] { App().Settings().ShortcutFolder.Set(dir_.File("menu/Patents")); };
  EXPECT_TRUE(ConfigureProgram(App(), hooks_));
  EXPECT_TRUE(Ui().messages.empty());
  EXPECT_TRUE(FileExists(dir_.File("menu/Patents/Larkspire (auto).desktop")));
  EXPECT_EQ(smtp_.Accepted(), 0);
}

}  // namespace
}  // namespace larkspire
