#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>

#include "app/Configuration.h"
#include "app/DirectoryCheck.h"
#include "net/PasswordScramble.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "retrieval/OdpSettings.h"
#include "support/ScopedVariable.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestAppCore.h"

namespace larkspire {
namespace {

class ConfigurationTest : public ::testing::Test {
 protected:
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
  CScriptedUi& ui_ = app_.Ui();
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

TEST_F(ConfigurationTest, ProbeNeverWritesThroughANamePlantedInTheDirectory) {
  const std::string probe = dir_.File("xxyyzzww.tmp");
  for (const bool leftover_file : {false, true}) {
    ASSERT_TRUE(SaveFileAtomically(dir_.File("target"), "someone else's file"));
    if (leftover_file) {
      ASSERT_TRUE(SaveFileAtomically(probe, "left by a crash"));
    } else {
      ASSERT_EQ(::symlink(dir_.File("target").c_str(), probe.c_str()), 0);
    }
    EXPECT_TRUE(ProbeDirectory(dir_.Path())) << leftover_file;
    std::string target;
    ASSERT_TRUE(ReadWholeFile(dir_.File("target"), target));
    EXPECT_EQ(target, "someone else's file") << leftover_file;
    EXPECT_FALSE(FileExists(probe)) << leftover_file;
  }
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

TEST_F(ConfigurationTest, AnAddressNeedsANameAnAtAndADomainAndIsNamedWhenRefused) {
  struct Case {
    const char* address;
    bool accepted;
  };
  const Case cases[] = {{"ann@hollis.example", true},
                        {"ann", false},
                        {"@hollis.example", false},
                        {"ann@", false},
                        {"ann @x.example", false}};
  for (const Case& c : cases) {
    const std::optional<std::string> problem = AddressProblem(c.address);
    EXPECT_EQ(!problem.has_value(), c.accepted) << c.address;
    if (problem) {
      EXPECT_EQ(*problem, "\"" + std::string(c.address) +
                              "\" is not an e-mail address. Please enter an address with its "
                              "domain. (like attorney@example.com)");
    }
  }
}

TEST_F(ConfigurationTest, TheOpenDataPortalNeedsAKeyAndCustomerNumbersOfDigits) {
  struct Case {
    std::string key;
    std::string environment;
    std::string numbers;
    std::optional<ConfigField> field;
    std::vector<std::string> messages;
  };
  const std::string no_key =
      "Please enter your Open Data Portal API key, or set USPTO_API_KEY for the program. (The key "
      "is shown on your MyODP page, https://data.uspto.gov/myodp, once you sign in to the Open "
      "Data Portal with a USPTO.gov account.)";
  const std::vector<Case> cases = {
      {"", "", "23456", ConfigField::kOdpKey, {no_key}},
      // A variable that is set but holds only blanks gives no key.
      {"", " \t", "23456", ConfigField::kOdpKey, {no_key}},
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
    const CScopedVariable variable(kOdpKeyVariable,
                                   c.environment.empty() ? nullptr : c.environment.c_str());
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

TEST_F(ConfigurationTest, ANewConfigurationProtectsItsMailAStoredOneKeepsWhatItHad) {
  CSettings& s = app_->Settings();
  // Nothing stored yet: a new configuration, STARTTLS.
  EXPECT_EQ(ReadConfiguration(*app_).smtp_security, MailSecurity::kStartTls);
  // Stored before the setting existed: the plain dialogue it has always used.
  s.OrgName.Set("Hollis & Marsh");
  EXPECT_EQ(ReadConfiguration(*app_).smtp_security, MailSecurity::kNone);
  s.SmtpSecurity.Set("TLS");
  EXPECT_EQ(ReadConfiguration(*app_).smtp_security, MailSecurity::kTls);

  CConfiguration config = Complete();
  config.smtp_security = MailSecurity::kStartTls;
  config.smtp_auth = MailAuth::kToken;
  config.user_name = "docket@hollis.example";
  config.token_command = "oauth2-helper --account \"Hollis Docket\"";
  config.ca_file = "/etc/ssl/hollis-ca.pem";
  StoreConfiguration(*app_, config);
  EXPECT_EQ(s.SmtpSecurity.Text(), "STARTTLS");
  EXPECT_EQ(s.SmtpAuth.Text(), "Token");
  EXPECT_EQ(s.SmtpTokenCommand.Text(), config.token_command);
  EXPECT_EQ(s.CaFile.Text(), config.ca_file);
  const CConfiguration read = ReadConfiguration(*app_);
  EXPECT_EQ(read.smtp_security, config.smtp_security);
  EXPECT_EQ(read.smtp_auth, config.smtp_auth);
  EXPECT_EQ(read.token_command, config.token_command);
  EXPECT_EQ(read.ca_file, config.ca_file);

  // Stored explicitly as None, it stays None.
  config.smtp_security = MailSecurity::kNone;
  config.smtp_auth = MailAuth::kPassword;
  StoreConfiguration(*app_, config);
  EXPECT_EQ(s.SmtpSecurity.Text(), "None");
  EXPECT_EQ(ReadConfiguration(*app_).smtp_security, MailSecurity::kNone);
}

TEST_F(ConfigurationTest, AdvancedSmtpValuesThatCannotWorkSendTheUserThere) {
  ASSERT_TRUE(SaveFileAtomically(dir_.File("office-ca.pem"), "-----BEGIN CERTIFICATE-----\n"));
  struct Case {
    std::function<void(CConfiguration&)> set;
    std::optional<std::string> message;
  };
  auto token = [](CConfiguration& c) {
    c.smtp_security = MailSecurity::kTls;
    c.smtp_auth = MailAuth::kToken;
    c.user_name = "docket@hollis.example";
    c.token_command = "oauth2-helper";
  };
  const Case cases[] = {
      {token, std::nullopt},
      {[&](CConfiguration& c) { token(c), c.smtp_security = MailSecurity::kNone; },
       "A token is never sent unencrypted: please choose STARTTLS or TLS as the SMTP security "
       "(Advanced HTTP and SMTP Settings)."},
      {[&](CConfiguration& c) { token(c), c.user_name.clear(); },
       "Please enter the user name, the mailbox the token is for (Advanced HTTP and SMTP "
       "Settings)."},
      {[&](CConfiguration& c) { token(c), c.token_command.clear(); },
       "Please enter the command that prints the access token (Advanced HTTP and SMTP "
       "Settings)."},
      // A password sign-in needs no command.
      {[](CConfiguration& c) { c.smtp_auth = MailAuth::kPassword, c.token_command.clear(); },
       std::nullopt},
      {[this](CConfiguration& c) { c.ca_file = dir_.File("office-ca.pem"); }, std::nullopt},
      // The settings keep 259 bytes of a value; a longer one would come back cut short.
      {[&](CConfiguration& c) { token(c), c.token_command = std::string(259, 'x'); }, std::nullopt},
      {[&](CConfiguration& c) { token(c), c.token_command = std::string(260, 'x'); },
       "Please keep the token command and the CA file name under 260 characters; a longer "
       "command fits in a small script (Advanced HTTP and SMTP Settings)."},
      {[this](CConfiguration& c) { c.ca_file = dir_.File("missing-ca.pem"); },
       "The CA file " + dir_.File("missing-ca.pem") +
           " cannot be read (Advanced HTTP and SMTP Settings)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.value_or("passes"));
    ui_.messages.clear();
    CConfiguration config = Complete();
    c.set(config);
    EXPECT_EQ(CheckConfiguration(*app_, config),
              c.message ? std::optional<ConfigField>(ConfigField::kAdvanced) : std::nullopt);
    EXPECT_EQ(ui_.Texts(),
              c.message ? std::vector<std::string>{*c.message} : std::vector<std::string>{});
  }
}

TEST_F(ConfigurationTest, APasswordInClearTextToAnotherHostIsStoredAfterAWarning) {
  const struct {
    MailSecurity security;
    const char* server;
    const char* user;
    bool warned;
  } cases[] = {
      {MailSecurity::kNone, "mail.hollis.example", "ann", true},
      {MailSecurity::kNone, "mail.hollis.example", "", false},
      {MailSecurity::kNone, "127.0.0.1:2525", "ann", false},
      {MailSecurity::kStartTls, "mail.hollis.example", "ann", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    ui_.messages.clear();
    CConfiguration config = Complete();
    config.smtp_security = c.security;
    config.smtp_server = c.server;
    config.user_name = c.user;
    EXPECT_EQ(CheckConfiguration(*app_, config), std::nullopt);
    ASSERT_EQ(ui_.messages.size(), c.warned ? 1u : 0u);
    if (c.warned) {
      EXPECT_EQ(ui_.messages[0].text,
                "The password for the mail server mail.hollis.example crosses the network "
                "unencrypted, because the mail security is None. Choose STARTTLS or TLS unless "
                "the server is a relay on a network you trust.");
      EXPECT_EQ(ui_.messages[0].caption, std::string(kCaption) + " - SMTP Security");
      EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kWarning);
      EXPECT_EQ(ui_.messages[0].buttons, MsgButtons::kOk);
    }
  }
}

}  // namespace
}  // namespace larkspire
