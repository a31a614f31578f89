// One monitored application, patent or publication, and the field table that names its 26
// fields. Everything else addresses fields by id (position in the table) or by key.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace larkspire {

enum FieldId : int {
  kFrequency = 0,
  kLastUpdate,
  kLastChange,
  kReference,
  kAppNum,
  kLastHistoryDate,
  kLastHistoryText,
  kFilingDate,
  kIssueDate,
  kDocketNumber,
  kExaminer,
  kArtUnit,
  kPubNum,
  kPubDate,
  kConfirmNum,
  kPatNum,
  kClass,
  kLocation,
  kStatus,
  kCustNum,
  kForeign,
  kParentContinuity,
  kChildContinuity,
  kPTA,
  kPTE,
  kError,
  kFieldCount
};

enum Frequency : int32_t { kDaily = 0, kWeekly = 1, kMonthly = 2, kYearly = 3, kNever = 4 };

struct FieldInfo {
  const char* key;           // "Fequency" for field 0, as stored files and templates spell it
  const char* menu_caption;  // null for Error
  const char* column_caption;
  int width_units;
  bool date_like;
};

extern const FieldInfo kFields[kFieldCount];

// The fields whose change is a status change, in the order change lists show them.
inline constexpr std::array<int, 20> kCompareList = {
    kReference, kAppNum,  kFilingDate, kExaminer,         kIssueDate,       kArtUnit,
    kPubNum,    kPubDate, kConfirmNum, kPatNum,           kClass,           kLocation,
    kStatus,    kCustNum, kForeign,    kParentContinuity, kChildContinuity, kLastHistoryText,
    kPTA,       kPTE};

// The fields whose change is reported: the compare list with LastHistoryDate just before
// LastHistoryText, so a repeated history event (same text, new date) counts as a change.
// LastHistoryDate follows its own rule (see FieldDiffers) and never counts as reverted.
inline constexpr std::array<int, 21> kChangeList = {
    kReference,       kAppNum,  kFilingDate, kExaminer,         kIssueDate,       kArtUnit,
    kPubNum,          kPubDate, kConfirmNum, kPatNum,           kClass,           kLocation,
    kStatus,          kCustNum, kForeign,    kParentContinuity, kChildContinuity, kLastHistoryDate,
    kLastHistoryText, kPTA,     kPTE};

// Case-insensitive lookup of a key; -1 when unknown ("Frequency" is unknown, "fequency" is not).
int FindFieldByKey(std::string_view key);

class CEntry {
 public:
  CEntry() = default;

  // Display form: frequency by name, day numbers as yyyy-mm-dd ("" for 0), strings as stored.
  // Raw form (the data file's): ids 0 to 2 as decimal integers. Ids outside 0..25 give "".
  std::string GetText(int id, bool raw = false) const;
  // Field keys (display form), then RecentChange, UpToDate, StatusUrl, Identifier, AppNum2,
  // LastHistory, all ignoring case. False, and out untouched, for an unknown name.
  bool GetTextByName(std::string_view name, std::string& out) const;
  // Ids 0 to 2 take the leading decimal number (0 when none); others store the text with every
  // control byte (below 0x20, and 0x7F) turned into a blank: the data file cannot carry TAB, CR
  // or LF, a NUL would cut a mail short, and none of them belongs in a report or a log.
  void SetText(int id, std::string_view text);
  void SetTextByName(std::string_view name, std::string_view text);

  // Direct access to a text field (ids 3 to 25).
  const std::string& Text(int id) const {
    return texts_[static_cast<std::size_t>(id - kReference)];
  }
  std::string& Text(int id) { return texts_[static_cast<std::size_t>(id - kReference)]; }

  int32_t frequency = kDaily;
  int32_t last_update = 0;  // day number, 0 = never
  int32_t last_change = 0;  // day number, 0 = none

  std::string Identifier() const;
  std::string AppNum2() const;
  std::string LastHistory() const;
  std::string StatusUrl() const;

  // Negative when this sorts before other on field id; see the sort rules of the list.
  int CompareField(const CEntry& other, int id) const;
  // The primary comparison (negated when reversed), ties broken by AppNum then PatNum.
  int SortCompare(const CEntry& other, int id, bool reversed) const;
  // Equal over the change list (display texts, byte for byte; LastHistoryDate by its own rule).
  bool SameStatus(const CEntry& other) const;
  // Whether a compared field's display text differs; LastHistoryDate differs only when both
  // sides are real dates and they are not equal.
  static bool FieldDiffers(const CEntry& a, const CEntry& b, int id);

  bool IsUpToDate() const;
  bool IsRecentChange() const;
  // 1 recent change + 2 up to date + 4 error; 8 (row being updated) is the list's business.
  int StateImage() const;
  void Normalize();

  void ClearLastUpdate() { last_update = 0; }
  void MarkChanged();
  void MarkForRetry();

 private:
  std::array<std::string, kFieldCount - kReference> texts_;
};

// StatusUrl is built from the rules file, which the entries layer does not know; the rules
// layer installs the builder at start-up.
void SetStatusUrlBuilder(std::function<std::string(const CEntry&)> builder);

}  // namespace larkspire
