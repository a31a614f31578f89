#include "run/Settings.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <random>

#include "net/TextChecks.h"

namespace larkspire {

const char* const kColumnWidthNames[26] = {"ColWidthFrequency",
                                           "ColWidthLastUpdate",
                                           "ColWidthLastChange",
                                           "ColWidthReference",
                                           "ColWidthAppNum",
                                           "ColWidthLastHistoryDate",
                                           "ColWidthLastHistoryText",
                                           "ColWidthFilingDate",
                                           "ColWidthIssueDate",
                                           "ColWidthDocketNumber",
                                           "ColWidthExaminer",
                                           "ColWidthArtUnit",
                                           "ColWidthPubNum",
                                           "ColWidthPubDate",
                                           "ColWidthConfirmNum",
                                           "ColWidthPatNum",
                                           "ColWidthClass",
                                           "ColWidthLocation",
                                           "ColWidthStatus",
                                           "ColWidthCustNum",
                                           "ColWidthForeign",
                                           "ColWidthParentContinuity",
                                           "ColWidthChildContinuity",
                                           "ColWidthPTA",
                                           "ColWidthPTE",
                                           "ColWidthError"};

namespace {

std::string ReadValue(ISettingsBackend& backend, const std::string& group,
                      const std::string& name) {
  std::optional<std::string> value = backend.Read(group, name);
  if (!value) return std::string();
  if (value->size() >= kMaxSettingBytes) value->resize(kMaxSettingBytes - 1);
  return *value;
}

long long LeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value < 100000000000000000LL) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

CSetting::CSetting(ISettingsBackend& backend, std::string name, std::string group)
    : backend_(backend), name_(std::move(name)), group_(std::move(group)) {
  value_ = ReadValue(backend_, group_, name_);
}

CSetting::~CSetting() { Save(); }

long long CSetting::Int(long long default_value) const {
  if (value_.empty()) return default_value;
  return LeadingNumber(value_);
}

void CSetting::Save() const {
  if (kept_out_) {
    backend_.Remove(group_, name_);
  } else {
    backend_.Write(group_, name_, value_);
  }
}

CListSetting::CListSetting(ISettingsBackend& backend, std::string base_name, std::string group)
    : backend_(backend), base_(std::move(base_name)), group_(std::move(group)) {
  if (base_.size() > 27) base_.resize(27);
  for (int n = 1;; ++n) {
    std::optional<std::string> value = backend_.Read(group_, base_ + std::to_string(n));
    if (!value) break;
    items_.push_back(*value);
  }
}

CListSetting::~CListSetting() { Save(); }

std::string CListSetting::Joined() const {
  std::string out;
  for (const std::string& item : items_) {
    if (!out.empty()) out += ", ";
    out += item;
  }
  return out;
}

void CListSetting::Save() const {
  for (int n = 1; backend_.Remove(group_, base_ + std::to_string(n)); ++n) {
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    backend_.Write(group_, base_ + std::to_string(i + 1), items_[i]);
  }
}

unsigned ParseTimeout(const std::string& text) {
  if (text.empty()) return kDefaultTimeoutMs;
  long long number = LeadingNumber(text);
  long long ms = number * (text.find('m') != std::string::npos ? 60000 : 1000);
  if (ms < kMinimumTimeoutMs) ms = kMinimumTimeoutMs;
  if (ms > 0x7FFFFFFF) ms = 0x7FFFFFFF;
  return static_cast<unsigned>(ms);
}

std::string TimeoutChoiceText(unsigned ms) {
  if (ms < 60000) return std::to_string(ms / 1000) + " seconds";
  return std::to_string(ms / 60000) + " minutes";
}

std::string CreateGuidText() {
  unsigned char bytes[16];
  std::ifstream urandom("/dev/urandom", std::ios::binary);
  if (!urandom.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
    std::random_device device;
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[39];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

CSettings::CSettings(ISettingsBackend& backend)
    : backend_(backend),
      ProxyServer(backend, "ProxyServer"),
      UserName(backend, "UserName"),
      Password(backend, "Password"),
      OrgName(backend, "OrgName"),
      SmtpServer(backend, "SmtpServer"),
      SmtpSecurity(backend, "SmtpSecurity"),
      SmtpAuth(backend, "SmtpAuth"),
      SmtpTokenCommand(backend, "SmtpTokenCommand"),
      CaFile(backend, "CaFile"),
      ReturnAddress(backend, "ReturnAddress"),
      NotifyAddress(backend, "NotifyAddress"),
      NotifyChoice(backend, "NotifyChoice"),
      ShortcutFolder(backend, "ShortcutFolder", kProductGroup),
      Install(backend, "Install", kProductGroup),
      LogDir(backend, "LogDir"),
      ReportDir(backend, "ReportDir"),
      Left(backend, "Left"),
      Top(backend, "Top"),
      Right(backend, "Right"),
      Bottom(backend, "Bottom"),
      SortBy(backend, "SortBy"),
      SortReversed(backend, "SortReversed"),
      TopIndex(backend, "TopIndex"),
      CountExec(backend, "CountExec"),
      CountStatusChange(backend, "CountStatusChange"),
      CountUpdateSucceeded(backend, "CountUpdateSucceeded"),
      CountUpdateFailed(backend, "CountUpdateFailed"),
      CountEmailPost(backend, "CountEmailPost"),
      CountEmailBatchSucceeded(backend, "CountEmailBatchSucceeded"),
      CountEmailBatchFailed(backend, "CountEmailBatchFailed"),
      GUID(backend, "GUID"),
      Timeout(backend, "Timeout"),
      DetailsLeft(backend, "DetailsLeft"),
      DetailsTop(backend, "DetailsTop"),
      DetailsRight(backend, "DetailsRight"),
      DetailsBottom(backend, "DetailsBottom"),
      DetailsVisible(backend, "DetailsVisible"),
      TCPIPLeft(backend, "TCPIPLeft"),
      TCPIPTop(backend, "TCPIPTop"),
      TCPIPRight(backend, "TCPIPRight"),
      TCPIPBottom(backend, "TCPIPBottom"),
      TCPIPVisible(backend, "TCPIPVisible"),
      WelcomeReportTries(backend, "WelcomeReportTries"),
      StatusSource(backend, "StatusSource"),
      OdpKey(backend, "OdpKey"),
      OdpCustomerNumbers(backend, "OdpCustomerNumbers"),
      OdpServer(backend, "OdpServer"),
      PublisherReports(backend, "PublisherReports"),
      HiddenColumns(backend, "HiddenColumns") {
  for (const char* name : kColumnWidthNames) {
    column_widths_.push_back(std::make_unique<CSetting>(backend, name));
  }
}

CSettings::~CSettings() {
  // Members write themselves back as they are destroyed; the column widths go first.
  column_widths_.clear();
}

void CSettings::SaveInstallationSettings() const {
  ProxyServer.Save();
  UserName.Save();
  Password.Save();
  OrgName.Save();
  SmtpServer.Save();
  SmtpSecurity.Save();
  SmtpAuth.Save();
  SmtpTokenCommand.Save();
  CaFile.Save();
  ReturnAddress.Save();
  NotifyAddress.Save();
  NotifyChoice.Save();
  ShortcutFolder.Save();
  Install.Save();
  LogDir.Save();
  ReportDir.Save();
  StatusSource.Save();
  OdpKey.Save();
  OdpCustomerNumbers.Save();
  backend_.Flush();
}

CSetting* CSettings::ColumnWidth(int field_id) {
  if (field_id < 0 || field_id >= static_cast<int>(column_widths_.size())) return nullptr;
  return column_widths_[static_cast<std::size_t>(field_id)].get();
}

bool UsesOdp(std::string_view status_source) {
  return status_source.size() == std::string_view(kSourceOdp).size() &&
         StartsWithIgnoringCase(status_source, kSourceOdp);
}

bool UsesOdp(const CSettings& settings) { return UsesOdp(settings.StatusSource.Text()); }

}  // namespace larkspire
