#include "app/Configuration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "app/AppCore.h"
#include "app/DirectoryCheck.h"
#include "net/PasswordScramble.h"
#include "notify/Templates.h"
#include "platform/Files.h"
#include "retrieval/OdpSettings.h"
#include "run/SecretSettings.h"

namespace larkspire {
namespace {

// A message about one of the advanced values, saying where it is set.
std::string AtAdvanced(const std::string& text) {
  return text + " (Advanced HTTP and SMTP Settings).";
}

// What the advanced SMTP values lack or get wrong for the mail to go out at all.
std::optional<std::string> AdvancedProblem(const CConfiguration& config) {
  // A longer value would come back cut short from the settings.
  for (const std::string* value : {&config.token_command, &config.ca_file}) {
    if (value->size() >= kMaxSettingBytes) {
      return AtAdvanced("Please keep the token command and the CA file name under " +
                        std::to_string(kMaxSettingBytes) +
                        " characters; a longer command fits in a small script");
    }
  }
  if (config.smtp_auth == MailAuth::kToken) {
    if (config.smtp_security == MailSecurity::kNone) {
      return AtAdvanced(
          "A token is never sent unencrypted: please choose STARTTLS or TLS as the SMTP security");
    }
    if (config.user_name.empty()) {
      return AtAdvanced("Please enter the user name, the mailbox the token is for");
    }
    if (config.token_command.empty()) {
      return AtAdvanced("Please enter the command that prints the access token");
    }
  }
  if (!config.ca_file.empty() && ::access(config.ca_file.c_str(), R_OK) != 0) {
    return AtAdvanced("The CA file " + config.ca_file + " cannot be read");
  }
  return std::nullopt;
}

}  // namespace

namespace {

std::optional<ConfigField> CheckOdpConfiguration(AppCore& app, const CConfiguration& config) {
  if (!UsesOdp(config.status_source)) return std::nullopt;
  // A variable set but empty (or only blanks) gives no key either.
  const char* variable = std::getenv(kOdpKeyVariable);
  if (TrimKey(UnscramblePassword(config.odp_key)).empty() &&
      (variable == nullptr || TrimKey(variable).empty())) {
    app.MessageBox(std::string("Please enter your Open Data Portal API key, or set ") +
                   kOdpKeyVariable + " for the program. (The key is shown on your MyODP page, " +
                   kOdpKeyPage +
                   ", once you sign in to the Open Data Portal with a USPTO.gov account.)");
    return ConfigField::kOdpKey;
  }
  for (const std::string& number : SplitCustomerNumbers(config.odp_customer_numbers)) {
    if (!IsCustomerNumber(number)) {
      app.MessageBox("\"" + number +
                     "\" is not a customer number. Please enter customer "
                     "numbers as digits, separated by commas or blanks.");
      return ConfigField::kOdpCustomerNumbers;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> AddressProblem(const std::string& address) {
  const std::size_t at = address.find('@');
  if (at != std::string::npos && at > 0 && at + 1 < address.size() &&
      address.find_first_of(" \t") == std::string::npos) {
    return std::nullopt;
  }
  return "\"" + address +
         "\" is not an e-mail address. Please enter an address with its domain. (like "
         "attorney@example.com)";
}

CConfiguration ReadConfiguration(AppCore& app) {
  CSettings& s = app.Settings();
  CConfiguration c;
  c.org_name = s.OrgName.Text();
  c.smtp_server = s.SmtpServer.Text();
  c.return_address = s.ReturnAddress.Text();
  c.notify_addresses = s.NotifyAddress.Items();
  c.notify_choices = s.NotifyChoice.Items();
  c.notify_choices.resize(c.notify_addresses.size());
  c.shortcut_folder = s.ShortcutFolder.Text();
  c.app_dir = s.Install.Text();
  c.log_dir = s.LogDir.Text().empty() ? JoinPath(c.app_dir, "Log") : s.LogDir.Text();
  c.report_dir = s.ReportDir.Text().empty() ? JoinPath(c.app_dir, "Report") : s.ReportDir.Text();
  c.proxy_server = s.ProxyServer.Text();
  c.user_name = s.UserName.Text();
  c.password = s.Password.Text();
  // Until the first configuration is stored it is a new one, and a new one protects its mail.
  const bool first = s.SmtpSecurity.Text().empty() && s.OrgName.Text().empty();
  c.smtp_security = first ? MailSecurity::kStartTls : ParseMailSecurity(s.SmtpSecurity.Text());
  c.smtp_auth = ParseMailAuth(s.SmtpAuth.Text());
  c.token_command = s.SmtpTokenCommand.Text();
  c.ca_file = s.CaFile.Text();
  c.status_source = s.StatusSource.Text();
  if (c.org_name.empty() && c.status_source.empty()) c.status_source = kSourceOdp;
  c.odp_key = s.OdpKey.Text();
  c.odp_customer_numbers = s.OdpCustomerNumbers.Text();
  return c;
}

std::optional<ConfigField> CheckConfiguration(AppCore& app, const CConfiguration& config) {
  if (config.org_name.empty()) {
    app.MessageBox("Please enter an organization name.");
    return ConfigField::kOrgName;
  }
  if (config.smtp_server.empty()) {
    app.MessageBox("Please enter an SMTP server name. (like mail.example.com)");
    return ConfigField::kSmtpServer;
  }
  if (config.return_address.empty()) {
    app.MessageBox("Please enter a E-Mail return address. (like docketing@example.com)");
    return ConfigField::kReturnAddress;
  }
  if (std::optional<std::string> problem = AddressProblem(config.return_address)) {
    app.MessageBox(*problem);
    return ConfigField::kReturnAddress;
  }
  if (config.notify_addresses.empty()) {
    app.MessageBox(
        "Please enter at least one E-Mail notification address. (like attorney@example.com)");
    return ConfigField::kNotifyAddresses;
  }
  for (const std::string& address : config.notify_addresses) {
    if (std::optional<std::string> problem = AddressProblem(address)) {
      app.MessageBox(*problem);
      return ConfigField::kNotifyAddresses;
    }
  }
  if (std::optional<std::string> problem = AdvancedProblem(config)) {
    app.MessageBox(*problem);
    return ConfigField::kAdvanced;
  }
  struct Directory {
    const std::string& path;
    const char* purpose;
    const char* label;
    ConfigField field;
  };
  const Directory directories[] = {
      {config.shortcut_folder, "shortcuts", "Shortcuts folder", ConfigField::kShortcutFolder},
      {config.app_dir, "application", "Application directory", ConfigField::kAppDir},
      {config.log_dir, "logged data", "Logging directory", ConfigField::kLogDir},
      {config.report_dir, "report", "Report directory", ConfigField::kReportDir},
  };
  for (const Directory& d : directories) {
    if (!CheckDirectory(app, d.path, d.purpose, d.label)) return d.field;
  }
  const std::string warning =
      UnencryptedPasswordWarning(config.smtp_security, config.user_name, config.smtp_server);
  if (!warning.empty()) {
    app.MessageBox(warning, MsgButtons::kOk, MsgAnswer::kOk, "SMTP Security", std::nullopt,
                   MsgIcon::kWarning);
  }
  return CheckOdpConfiguration(app, config);
}

void StoreConfiguration(AppCore& app, const CConfiguration& config) {
  ::mkdir(JoinPath(config.log_dir, "Larkspire").c_str(), 0777);
  CSettings& s = app.Settings();
  s.NotifyAddress.Items() = config.notify_addresses;
  // Only as many choices as the last address that has one: a configuration without choices
  // stores none.
  std::vector<std::string> choices = config.notify_choices;
  choices.resize(std::min(choices.size(), config.notify_addresses.size()));
  while (!choices.empty() && choices.back().empty()) choices.pop_back();
  s.NotifyChoice.Items() = choices;
  s.ProxyServer.Set(config.proxy_server);
  s.UserName.Set(config.user_name);
  s.Password.Set(config.password);
  s.SmtpSecurity.Set(MailSecurityText(config.smtp_security));
  s.SmtpAuth.Set(MailAuthText(config.smtp_auth));
  s.SmtpTokenCommand.Set(config.token_command);
  s.CaFile.Set(config.ca_file);
  s.OrgName.Set(config.org_name);
  s.SmtpServer.Set(config.smtp_server);
  s.ReturnAddress.Set(config.return_address);
  s.ShortcutFolder.Set(config.shortcut_folder);
  s.Install.Set(config.app_dir);
  s.LogDir.Set(config.log_dir);
  s.ReportDir.Set(config.report_dir);
  s.StatusSource.Set(config.status_source);
  s.OdpKey.Set(config.odp_key);
  s.OdpCustomerNumbers.Set(config.odp_customer_numbers);
  SaveSecrets(app);
  // The built-in rules go to the logging directory at exit, as a downloaded copy would.
  if (!app.Rules().downloaded && app.Rules().text == LoadTemplate(kTemplateRules)) {
    app.Rules().downloaded = true;
  }
  if (app.Ui()) app.Ui()->RefreshTitle();
}

}  // namespace larkspire
