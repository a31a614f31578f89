#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>

#include "app/Configuration.h"
#include "app/DirectoryCheck.h"
#include "net/PasswordScramble.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "retrieval/OdpSettings.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"

namespace larkspire {
namespace {

class ConfigurationTest : public ::testing::Test {
 protected:
  ConfigurationTest() { app_->SetUi(&ui_); }
  ~ConfigurationTest() override { app_->SetUi(nullptr); }

  // Every field filled, every directory in place.
  CConfiguration Complete() {
    CConfiguration c;
    c.org_name = "Hollis & Marsh";
    c.smtp_server = "mail.hollis.example";
    c.return_address = "docket@hollis.example";
    c.notify_addresses = {"ann@hollis.example"};
    for (const char* name : {"shortcuts", "app", "log", "report"}) {
      MakeDirectories(dir_.File(name));
    }
    c.shortcut_folder = dir_.File("shortcuts");
    c.app_dir = dir_.File("app");
    c.log_dir = dir_.File("log");
    c.report_dir = dir_.File("report");
    return c;
  }

  CTempDir dir_;
  CTestAppCore app_;
  CScriptedUi ui_;
};

TEST_F(ConfigurationTest, ChecksRunInOrderAndStopAtTheFirstFailure) {
  struct Case {
    std::function<void(CConfiguration&)> spoil;
    ConfigField field;
    const char* message;
  };
  const Case cases[] = {
      {[](CConfiguration& c) { c = CConfiguration(); }, ConfigField::kOrgName,
       "Please enter an organization name."},
      {[](CConfiguration& c) { c.smtp_server.clear(), c.return_address.clear(); },
       ConfigField::kSmtpServer, "Please enter an SMTP server name. (like mail.example.com)"},
      {[](CConfiguration& c) { c.return_address.clear(), c.notify_addresses.clear(); },
       ConfigField::kReturnAddress,
       "Please enter a E-Mail return address. (like docketing@example.com)"},
      {[](CConfiguration& c) { c.notify_addresses.clear(), c.shortcut_folder.clear(); },
       ConfigField::kNotifyAddresses,
       "Please enter at least one E-Mail notification address. (like attorney@example.com)"},
      {[](CConfiguration& c) { c.shortcut_folder.clear(), c.app_dir.clear(); },
       ConfigField::kShortcutFolder, "Please enter a directory for storing the shortcuts."},
      {[](CConfiguration& c) { c.app_dir.clear(), c.log_dir.clear(); }, ConfigField::kAppDir,
       "Please enter a directory for storing the application."},
      {[](CConfiguration& c) { c.log_dir.clear(), c.report_dir.clear(); }, ConfigField::kLogDir,
       "Please enter a directory for storing the logged data."},
      {[](CConfiguration& c) { c.report_dir.clear(); }, ConfigField::kReportDir,
       "Please enter a directory for storing the report."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ui_.messages.clear();
    CConfiguration config = Complete();
    c.spoil(config);
    EXPECT_EQ(CheckConfiguration(*app_, config), c.field);
    EXPECT_EQ(ui_.Texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(ui_.messages[0].caption, kCaption);
  }
  ui_.messages.clear();
  EXPECT_EQ(CheckConfiguration(*app_, Complete()), std::nullopt);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ConfigurationTest, AMissingNestedDirectoryIsCreatedAfterYes) {
  CConfiguration config = Complete();
  config.log_dir = dir_.File("data/larkspire/log");
  ui_.answers = {MsgAnswer::kYes};
  EXPECT_EQ(CheckConfiguration(*app_, config), std::nullopt);
  EXPECT_EQ(ui_.Texts(),
            std::vector<std::string>{"Logging directory does not exist. Do you want it created?"});
  EXPECT_EQ(ui_.messages[0].buttons, MsgButtons::kYesNo);
  EXPECT_TRUE(IsDirectory(config.log_dir));
  // The probe leaves nothing behind.
  EXPECT_FALSE(FileExists(JoinPath(config.log_dir, "xxyyzzww.tmp")));
}

TEST_F(ConfigurationTest, AnsweringNoProbesAgainAndReportsTheDirectoryNotCreated) {
  CConfiguration config = Complete();
  config.report_dir = dir_.File("reports/2024");
  ui_.answers = {MsgAnswer::kNo};
  EXPECT_EQ(CheckConfiguration(*app_, config), ConfigField::kReportDir);
  EXPECT_EQ(ui_.Texts(),
            (std::vector<std::string>{"Report directory does not exist. Do you want it created?",
                                      "Report directory was not created."}));
  EXPECT_FALSE(FileExists(config.report_dir));
}

TEST_F(ConfigurationTest, ADirectoryThatCannotBeMadeIsReported) {
  // A plain file stands where a parent directory would have to be.
  ASSERT_TRUE(SaveFileAtomically(dir_.File("blocker"), "x"));
  CConfiguration config = Complete();
  config.shortcut_folder = dir_.File("blocker/Grantwell");
  ui_.answers = {MsgAnswer::kYes};
  EXPECT_EQ(CheckConfiguration(*app_, config), ConfigField::kShortcutFolder);
  EXPECT_EQ(ui_.Texts().back(), "Shortcuts folder was not created.");
}

TEST_F(ConfigurationTest, ProbeNeedsAnExistingDirectory) {
  EXPECT_TRUE(ProbeDirectory(dir_.Path()));
  EXPECT_FALSE(ProbeDirectory(dir_.File("none")));
  CreateDirectoryPath(dir_.File("a/b/c"));
  EXPECT_TRUE(ProbeDirectory(dir_.File("a/b/c")));
}

TEST_F(ConfigurationTest, EmptyDirectoriesAreShownBelowTheApplicationDirectory) {
  app_->Settings().Install.Set("/opt/larkspire");
  app_->Settings().LogDir.Set("");
  app_->Settings().ReportDir.Set("/srv/reports");
  const CConfiguration c = ReadConfiguration(*app_);
  EXPECT_EQ(c.log_dir, "/opt/larkspire/Log");
  EXPECT_EQ(c.report_dir, "/srv/reports");
}

TEST_F(ConfigurationTest, StoringWritesEveryValueAndKeepsTheBuiltInRules) {
  CConfiguration config = Complete();
  config.notify_addresses = {"b@hollis.example", "a@hollis.example"};
  config.proxy_server = "proxy.hollis.example:3128";
  config.user_name = "ann";
  config.password = "akpXWQ";
  ASSERT_EQ(app_->Rules().text, LoadTemplate(kTemplateRules));
  StoreConfiguration(*app_, config);

  const CSettings& s = app_->Settings();
  EXPECT_EQ(s.OrgName.Text(), config.org_name);
  EXPECT_EQ(s.SmtpServer.Text(), config.smtp_server);
  EXPECT_EQ(s.ReturnAddress.Text(), config.return_address);
  EXPECT_EQ(s.NotifyAddress.Items(), config.notify_addresses);
  EXPECT_EQ(s.ShortcutFolder.Text(), config.shortcut_folder);
  EXPECT_EQ(s.Install.Text(), config.app_dir);
  EXPECT_EQ(s.LogDir.Text(), config.log_dir);
  EXPECT_EQ(s.ReportDir.Text(), config.report_dir);
  EXPECT_EQ(s.ProxyServer.Text(), config.proxy_server);
  EXPECT_EQ(s.UserName.Text(), "ann");
  EXPECT_EQ(s.Password.Text(), "akpXWQ");
  EXPECT_TRUE(IsDirectory(JoinPath(config.log_dir, "Larkspire")));
  EXPECT_TRUE(app_->Rules().downloaded);
  EXPECT_EQ(ui_.title_refreshes, 1);
}

TEST_F(ConfigurationTest, AFirstConfigurationProposesTheOpenDataPortalAndAnOldOneKeepsItsSource) {
  EXPECT_EQ(ReadConfiguration(*app_).status_source, kSourceOdp);
  app_->Settings().OrgName.Set("Hollis & Marsh");
  // A configuration from before the setting existed reads the status site, as it always did.
  EXPECT_EQ(ReadConfiguration(*app_).status_source, "");
  app_->Settings().StatusSource.Set(kSourceSite);
  EXPECT_EQ(ReadConfiguration(*app_).status_source, kSourceSite);
}

TEST_F(ConfigurationTest, TheOpenDataPortalNeedsAKeyAndCustomerNumbersOfDigits) {
  const char* variable = std::getenv(kOdpKeyVariable);
  const std::string saved = variable != nullptr ? variable : "";
  ::unsetenv(kOdpKeyVariable);
  struct Case {
    std::string key;
    std::string environment;
    std::string numbers;
    std::optional<ConfigField> field;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"",
       "",
       "23456",
       ConfigField::kOdpKey,
       {"Please enter your Open Data Portal API key, or set USPTO_API_KEY for the program. (A "
        "key comes with an account at data.uspto.gov.)"}},
      {"", "from-the-environment", "", std::nullopt, {}},
      {"a-key", "", "23456, 34567;45678", std::nullopt, {}},
      {"a-key",
       "",
       "23456 CN-1",
       ConfigField::kOdpCustomerNumbers,
       {"\"CN-1\" is not a customer number. Please enter customer numbers as digits, separated "
        "by commas or blanks."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + "/" + c.numbers);
    if (c.environment.empty()) {
      ::unsetenv(kOdpKeyVariable);
    } else {
      ::setenv(kOdpKeyVariable, c.environment.c_str(), 1);
    }
    ui_.messages.clear();
    CConfiguration config = Complete();
    config.status_source = kSourceOdp;
    config.odp_key = ScramblePassword(c.key);
    config.odp_customer_numbers = c.numbers;
    EXPECT_EQ(CheckConfiguration(*app_, config), c.field);
    EXPECT_EQ(ui_.Texts(), c.messages);
    // The status site needs neither.
    config.status_source = kSourceSite;
    EXPECT_EQ(CheckConfiguration(*app_, config), std::nullopt);
  }
  if (variable != nullptr) {
    ::setenv(kOdpKeyVariable, saved.c_str(), 1);
  } else {
    ::unsetenv(kOdpKeyVariable);
  }

  CConfiguration config = Complete();
  config.status_source = kSourceOdp;
  config.odp_key = ScramblePassword("a-key");
  config.odp_customer_numbers = "23456 34567";
  StoreConfiguration(*app_, config);
  EXPECT_EQ(app_->Settings().StatusSource.Text(), "ODP");
  EXPECT_EQ(app_->Settings().OdpKey.Text(), ScramblePassword("a-key"));
  EXPECT_EQ(app_->Settings().OdpKey.Text().find("a-key"), std::string::npos);
  EXPECT_EQ(app_->Settings().OdpCustomerNumbers.Text(), "23456 34567");
}

TEST_F(ConfigurationTest, DownloadedRulesAreNotMarkedAgain) {
  app_->Rules().text = "version: 9.9.99.999\r\nend-of-rules\r\n";
  StoreConfiguration(*app_, Complete());
  EXPECT_FALSE(app_->Rules().downloaded);
}

}  // namespace
}  // namespace larkspire
