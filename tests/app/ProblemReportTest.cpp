#include <gtest/gtest.h>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "app/ProblemReport.h"
#include "net/PasswordScramble.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "support/AiosmtpdServer.h"
#include "support/HttpTestServer.h"
#include "support/RulesText.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"
#include "support/TestSigningKey.h"

namespace larkspire {
namespace {

class ProblemReportTest : public ::testing::Test {
 protected:
  ProblemReportTest() {
    CSettings& s = app_->Settings();
    s.LogDir.Set(dir_.Path());
    s.OrgName.Set("Hollis & Marsh");
    s.SmtpServer.Set(smtp_.HostPort());
    s.ReturnAddress.Set("docket@hollis.example");
    s.NotifyAddress.Items() = {"ann@hollis.example"};
    s.ProxyServer.Set("");
    app_->FixTimeout(5000);
    app_->Rules().update_due = false;
  }

  // What an update leaves behind: flow-log text, log lines, the last fetch.
  void HaveWorked() {
    app_->Transcript().has_content = true;
    app_->Transcript().text = "00:01  Connecting to pair.uspto.gov\r\n00:02  GET /status\r\n";
    app_->Log().Write("Update Status (All) 3 entries\n");
    app_->LastFetch().urls = {"http://pair.uspto.gov/status?appnum=10123456"};
    app_->LastFetch().pages = {"<HTML>Status: Docketed New Case</HTML>"};
  }

  bool SentTo(const std::string& address) {
    for (const std::string& line : smtp_.Lines()) {
      if (line == "RCPT To: <" + address + ">") return true;
    }
    return false;
  }

  CTempDir dir_;
  CSmtpTestServer smtp_;
  CTestAppCore app_;
  CScriptedUi& ui_ = app_.Ui();
};

TEST_F(ProblemReportTest, IsRefusedBeforeAnyNetworkWork) {
  ui_.prompt_answer = "It hangs.";
  ReportProblem(*app_);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>{kNoActivityYetMessage});
  EXPECT_EQ(ui_.messages[0].caption, kCaption);
  EXPECT_TRUE(ui_.prompts.empty());
  EXPECT_EQ(smtp_.Accepted(), 0);
}

TEST_F(ProblemReportTest, GoesToTheSupportAddressOfTheRulesWithTheRunsDiagnostics) {
  app_->Rules().text = RulesWithLocation("4.2.04.000", {{"support", "help@hollis-tools.example"}});
  HaveWorked();
  ui_.prompt_answer = "The art unit column stays empty.";
  ReportProblem(*app_);

  ASSERT_EQ(ui_.prompts.size(), 1u);
  EXPECT_EQ(ui_.prompts[0].caption, "Report Problem");
  EXPECT_EQ(ui_.prompts[0].prompt,
            "Please describe your problem in some detail. When you click OK an email message "
            "will be sent to \"help@hollis-tools.example\".");
  ASSERT_TRUE(smtp_.WaitForSessions(1));
  EXPECT_TRUE(SentTo("help@hollis-tools.example"));
  EXPECT_FALSE(SentTo("docket@hollis.example"));
  const std::string body = smtp_.Data();
  EXPECT_NE(body.find("Problem Report for Hollis & Marsh"), std::string::npos);
  EXPECT_NE(body.find("The art unit column stays empty."), std::string::npos);
  EXPECT_NE(body.find("00:02  GET /status"), std::string::npos);
  EXPECT_NE(body.find("Update Status (All) 3 entries"), std::string::npos);
  EXPECT_NE(body.find("Status: Docketed New Case"), std::string::npos);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>{"E-mail was sent successfully."});
  EXPECT_EQ(app_->Status().problem_desc, "The art unit column stays empty.");
}

TEST_F(ProblemReportTest, WithoutASupportKeyTheBuiltInAddressIsUsed) {
  app_->Rules().text = RulesWithLocation("4.2.04.000", {{"support", ""}});
  ASSERT_EQ(app_->Rules().text.find(" support: "), std::string::npos);
  HaveWorked();
  ui_.prompt_answer = "x";
  ReportProblem(*app_);
  ASSERT_EQ(ui_.prompts.size(), 1u);
  EXPECT_NE(ui_.prompts[0].prompt.find(std::string("\"") + kDefaultSupportAddress + "\"."),
            std::string::npos);
  ASSERT_TRUE(smtp_.WaitForSessions(1));
  EXPECT_TRUE(SentTo(kDefaultSupportAddress));
}

TEST_F(ProblemReportTest, TheRulesAreBroughtUpToDateFirst) {
  const std::string newer =
      RulesWithLocation("4.9.00.000", {{"support", "desk@new-publisher.example"}});
  const CTestSigningKey key;
  CHttpTestServer publisher(
      CHttpTestServer::Files({{"/larkspire.txt", newer},
                              {"/larkspire.txt.manifest",
                               key.ManifestOf("rules", "4.9.00.000", "larkspire.txt", newer)}}));
  app_->Rules().publisher_key = key.PublicPem();
  app_->Rules().text = RulesWithLocation(
      "4.2.04.000", {{"rules", "http://" + publisher.HostPort() + "/larkspire.txt"}});
  app_->Rules().version = "4.2.04.000";
  app_->Rules().update_due = true;
  HaveWorked();
  ui_.prompt_answer = "x";
  ReportProblem(*app_);
  // The manifest, then the rules it vouches for.
  EXPECT_EQ(publisher.Requests().size(), 2u);
  ASSERT_EQ(ui_.prompts.size(), 1u);
  EXPECT_NE(ui_.prompts[0].prompt.find("\"desk@new-publisher.example\""), std::string::npos);
  ASSERT_TRUE(smtp_.WaitForSessions(1));
  EXPECT_TRUE(SentTo("desk@new-publisher.example"));
}

TEST_F(ProblemReportTest, CancelSendsNothingAndTheDescriptionIsOfferedAgain) {
  HaveWorked();
  app_->Status().problem_desc = "Earlier words.";
  ReportProblem(*app_);
  ASSERT_EQ(ui_.prompts.size(), 1u);
  EXPECT_EQ(ui_.prompts[0].initial, "Earlier words.");
  EXPECT_EQ(smtp_.Accepted(), 0);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ProblemReportTest, TestEmailsGoToTheReturnOrTheNotificationAddresses) {
  SendTestEmail(*app_, MailRecipient::kReturnAddress);
  ASSERT_TRUE(smtp_.WaitForSessions(1));
  EXPECT_TRUE(SentTo("docket@hollis.example"));
  EXPECT_FALSE(SentTo("ann@hollis.example"));
  SendTestEmail(*app_, MailRecipient::kNotifyAddresses);
  ASSERT_TRUE(smtp_.WaitForSessions(2));
  EXPECT_TRUE(SentTo("ann@hollis.example"));
  EXPECT_EQ(ui_.Texts(), (std::vector<std::string>{"E-mail was sent successfully.",
                                                   "E-mail was sent successfully."}));
}

TEST_F(ProblemReportTest, TheTestEmailGoesOutWithTheConfiguredSecurityAndSignIn) {
  if (!PythonHasAiosmtpdAndTrustme()) {
    GTEST_SKIP() << "/usr/bin/python3 cannot import aiosmtpd and trustme";
  }
  CTempDir received;
  CAiosmtpdServer server(received.Path(), "docket@hollis.example", "pa55",
                         {"--tls", "implicit", "--mechanisms", "PLAIN"});
  ASSERT_TRUE(server.Port().has_value());
  // As the Configure and Advanced dialogs store them.
  CConfiguration config = ReadConfiguration(*app_);
  config.smtp_server = "localhost:" + std::to_string(*server.Port());
  config.smtp_security = MailSecurity::kTls;
  config.ca_file = received.File("ca.pem");
  config.user_name = "docket@hollis.example";
  config.password = ScramblePassword("pa55");
  StoreConfiguration(*app_, config);

  SendTestEmail(*app_, MailRecipient::kReturnAddress);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>{"E-mail was sent successfully."});
  std::string tls, mechanism, data;
  ReadWholeFile(received.File("tls.txt"), tls);
  ReadWholeFile(received.File("mechanism.txt"), mechanism);
  ReadWholeFile(received.File("data.eml"), data);
  EXPECT_EQ(tls.rfind("TLSv1.", 0), 0u) << tls;
  EXPECT_EQ(mechanism, "PLAIN");
  EXPECT_NE(data.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos) << data;
  EXPECT_NE(data.find("Test e-mail"), std::string::npos) << data;
}

}  // namespace
}  // namespace larkspire
