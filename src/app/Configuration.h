// What the Configure dialog edits, as a copy of the settings: nothing reaches the settings
// until the user confirms and every check passes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/MailSecurity.h"

namespace larkspire {

class AppCore;

struct CConfiguration {
  std::string org_name;
  std::string smtp_server;
  std::string return_address;
  std::vector<std::string> notify_addresses;
  // Beside each address: what it receives (net/MailChoice.h), "" for what MailMode gives.
  std::vector<std::string> notify_choices;
  std::string shortcut_folder;
  std::string app_dir;
  std::string log_dir;
  std::string report_dir;
  std::string proxy_server;
  std::string user_name;
  std::string password;  // as stored: scrambled
  // ReadConfiguration gives STARTTLS for a configuration not stored yet, and None for one
  // stored before the setting existed.
  MailSecurity smtp_security = MailSecurity::kNone;
  MailAuth smtp_auth = MailAuth::kPassword;
  std::string token_command;
  std::string ca_file;
  // The status source (retrieval/OdpSettings.h): "" as stored before the setting existed.
  std::string status_source;
  std::string odp_key;  // as stored: scrambled
  std::string odp_customer_numbers;
};

// The fields the checks can send the user back to, in the order they are checked.
enum class ConfigField {
  kOrgName,
  kSmtpServer,
  kReturnAddress,
  kNotifyAddresses,
  kAdvanced,  // a value of the Advanced HTTP and SMTP settings
  kShortcutFolder,
  kAppDir,
  kLogDir,
  kReportDir,
  kOdpKey,
  kOdpCustomerNumbers,
};

// The settings as the dialog shows them: an empty logging directory as AppDir/Log, an empty
// report directory as AppDir/Report, and on a first configuration the Open Data Portal as the
// status source, since the status site is gone.
CConfiguration ReadConfiguration(AppCore& app);

// Why the text cannot be an e-mail address (it needs a name, an "@" and a domain, and no
// blanks), naming it; nothing when it can.
std::optional<std::string> AddressProblem(const std::string& address);

// Where an Open Data Portal key is obtained, for the messages and the dialog.
inline constexpr const char* kOdpKeyPage = "https://data.uspto.gov/myodp";

// The checks of the dialog's OK, in order; each failure shows its message and ends the checks.
// Returns the field the user must fix, or nothing when all pass. A configuration that passes
// but would send a password unencrypted to another host is stored after a warning.
std::optional<ConfigField> CheckConfiguration(AppCore& app, const CConfiguration& config);

// Stores a checked configuration: creates LogDir/Larkspire (which holds the rules copy and
// the help files), writes the values, has the built-in rules saved to the logging directory
// at exit, and refreshes the title.
void StoreConfiguration(AppCore& app, const CConfiguration& config);

}  // namespace larkspire
