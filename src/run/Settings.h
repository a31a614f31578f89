// The settings store: each setting reads its value when constructed and writes it back when
// destroyed, so AppCore's settings load at start and save at exit with no explicit step.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SettingsBackend.h"

namespace larkspire {

inline constexpr const char* kSettingsGroup = "Settings";
// The registry read at most 260 bytes of a value: a longer one comes back cut to 259.
inline constexpr std::size_t kMaxSettingBytes = 260;
inline constexpr const char* kProductGroup = "";

class CSetting {
 public:
  CSetting(ISettingsBackend& backend, std::string name, std::string group = kSettingsGroup);
  ~CSetting();
  CSetting(const CSetting&) = delete;
  CSetting& operator=(const CSetting&) = delete;

  const std::string& Text() const { return value_; }
  // The leading decimal number of the text, or the default when the text is empty.
  long long Int(long long default_value = 0) const;
  void Set(std::string value) { value_ = std::move(value); }
  void SetInt(long long value) { value_ = std::to_string(value); }
  void Increment() { SetInt(Int(0) + 1); }
  void Save() const;
  const std::string& Name() const { return name_; }
  // A value kept elsewhere (a secret in the keyring) is removed from the file when saved.
  void KeepOutOfFile(bool kept_out) { kept_out_ = kept_out; }

 private:
  ISettingsBackend& backend_;
  std::string name_;
  std::string group_;
  std::string value_;
  bool kept_out_ = false;
};

// A list stored as Base1, Base2, ... up to the first missing number.
class CListSetting {
 public:
  CListSetting(ISettingsBackend& backend, std::string base_name,
               std::string group = kSettingsGroup);
  ~CListSetting();
  CListSetting(const CListSetting&) = delete;
  CListSetting& operator=(const CListSetting&) = delete;

  std::vector<std::string>& Items() { return items_; }
  const std::vector<std::string>& Items() const { return items_; }
  // The items joined with ", " in list order.
  std::string Joined() const;
  void Save() const;

 private:
  ISettingsBackend& backend_;
  std::string base_;
  std::string group_;
  std::vector<std::string> items_;
};

// Time-out handling: text such as "2 minutes" or "30 seconds" to milliseconds.
inline constexpr unsigned kDefaultTimeoutMs = 120000;
inline constexpr unsigned kMinimumTimeoutMs = 30000;
inline constexpr unsigned kTimeoutChoicesMs[] = {30000, 60000, 120000, 300000, 600000};
unsigned ParseTimeout(const std::string& text);
// "30 seconds", "1 minutes", "2 minutes", ...
std::string TimeoutChoiceText(unsigned ms);

// A new installation identifier in the braced registry form, 38 characters.
std::string CreateGuidText();

// Every setting AppCore owns, declared in construction order; members are destroyed in reverse,
// and each destruction writes its value, so every value exists after the first run.
class CSettings {
 public:
  explicit CSettings(ISettingsBackend& backend);
  ~CSettings();

  ISettingsBackend& Backend() { return backend_; }

  // The settings the installation step writes at once rather than at exit.
  void SaveInstallationSettings() const;
  // The column-width setting of a field id (0..25); null outside that range.
  CSetting* ColumnWidth(int field_id);

 private:
  ISettingsBackend& backend_;

 public:
  CSetting ProxyServer;
  CSetting UserName;
  CSetting Password;
  CSetting OrgName;
  CSetting SmtpServer;
  // Added beside the original names; net/MailSecurity.h says what they hold. A settings file
  // without them keeps the plain SMTP dialogue.
  CSetting SmtpSecurity;
  CSetting SmtpAuth;
  CSetting SmtpTokenCommand;
  CSetting CaFile;
  CSetting ReturnAddress;
  CListSetting NotifyAddress;
  // What each address receives, beside it (net/MailChoice.h); absent items take MailMode's.
  CListSetting NotifyChoice;
  CSetting ShortcutFolder;
  CSetting Install;
  CSetting LogDir;
  CSetting ReportDir;
  CSetting Left;
  CSetting Top;
  CSetting Right;
  CSetting Bottom;
  CSetting SortBy;
  CSetting SortReversed;
  CSetting TopIndex;
  CSetting CountExec;
  CSetting CountStatusChange;
  CSetting CountUpdateSucceeded;
  CSetting CountUpdateFailed;
  CSetting CountEmailPost;
  CSetting CountEmailBatchSucceeded;
  CSetting CountEmailBatchFailed;
  CSetting GUID;
  CSetting Timeout;
  CSetting DetailsLeft;
  CSetting DetailsTop;
  CSetting DetailsRight;
  CSetting DetailsBottom;
  CSetting DetailsVisible;
  CSetting TCPIPLeft;
  CSetting TCPIPTop;
  CSetting TCPIPRight;
  CSetting TCPIPBottom;
  CSetting TCPIPVisible;
  // Failed tries of the queued welcome report; after a few it is dropped.
  CSetting WelcomeReportTries;
  // The status source and the Open Data Portal's access (retrieval/OdpSettings.h reads them).
  // Absent, StatusSource means the status site through the proxy, as before it existed.
  CSetting StatusSource;
  CSetting OdpKey;  // scrambled like the password
  CSetting OdpCustomerNumbers;
  CSetting OdpServer;
  // The user's answer ("Yes" or "No") to sending the office's details to the publisher in the
  // welcome and activity reports; empty when never asked (configured before the question).
  CSetting PublisherReports;
  // The field ids of the list columns the user hid, separated by commas; empty shows all.
  CSetting HiddenColumns;

 private:
  std::vector<std::unique_ptr<CSetting>> column_widths_;
};

// Names of the column-width values, in field-id order.
extern const char* const kColumnWidthNames[26];

// The StatusSource values. Anything but kSourceOdp (an absent setting above all) is the site.
inline constexpr const char* kSourceSite = "Site";
inline constexpr const char* kSourceOdp = "ODP";
bool UsesOdp(std::string_view status_source);
bool UsesOdp(const CSettings& settings);

}  // namespace larkspire
