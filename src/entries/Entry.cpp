#include "entries/Entry.h"

#include <algorithm>
#include <utility>

#include "entries/LeadingNumber.h"
#include "entries/TextOrder.h"
#include "rules/Dates.h"

namespace larkspire {

const FieldInfo kFields[kFieldCount] = {
    {"Fequency", "&Frequency", "Frequency", 2, true},
    {"LastUpdate", "Last &Update", "Last Update", 2, true},
    {"LastChange", "Last &Change", "Last Change", 2, true},
    {"Reference", "&Reference", "Reference", 3, false},
    {"AppNum", "&Application Number", "App #", 2, false},
    {"LastHistoryDate", "Last History &Date", "Last History", 2, true},
    {"LastHistoryText", "Last &History Description", "Last History Description", 10, false},
    {"FilingDate", "&Filing Date", "Filed", 2, true},
    {"IssueDate", "&Issue Date", "Issued", 2, true},
    {"DocketNumber", "&Docket Number", "Docket Number", 3, false},
    {"Examiner", "&Examiner", "Examiner", 2, false},
    {"ArtUnit", "&Art Unit", "Art", 1, false},
    {"PubNum", "P&ublication Number", "Pub #", 2, false},
    {"PubDate", "P&ublication Date", "Pub Date", 2, true},
    {"ConfirmNum", "C&onfrimation Number", "Confirm #", 2, false},
    {"PatNum", "&Patent Number", "Pat #", 2, false},
    {"Class", "&Class", "Class", 2, false},
    {"Location", "&Location", "Location", 3, false},
    {"Status", "&Status", "Status", 2, false},
    {"CustNum", "&Customer Number", "Cust #", 2, false},
    {"Foreign", "&Foreign Priority", "Foreign", 2, false},
    {"ParentContinuity", "&Parent Continuity", "Parent Continuity", 2, false},
    {"ChildContinuity", "&Child Continuity", "Child Continuity", 2, false},
    {"PTA", "&PTA", "PTA", 2, false},
    {"PTE", "&PTE", "PTE", 2, false},
    {"Error", nullptr, "Error", 20, false},
};

namespace {

constexpr const char* kFrequencyNames[] = {"Daily", "Weekly", "Monthly", "Yearly", "Never"};

std::function<std::string(const CEntry&)>& StatusUrlBuilder() {
  static std::function<std::string(const CEntry&)> builder;
  return builder;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

int CompareNumbers(int32_t a, int32_t b) { return (a > b) - (a < b); }

int CompareBytes(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return (c > 0) - (c < 0);
}

// Weeks counted from day 1 (1899-12-31, a Sunday) so that each runs Sunday to Saturday. Floor
// division keeps days before that on the same grid.
int32_t WeekOf(int32_t day_number) {
  const int64_t d = static_cast<int64_t>(day_number) - 1;
  return static_cast<int32_t>(d >= 0 ? d / 7 : -((-d + 6) / 7));
}

// A calendar date in the yyyy-mm-dd form: not empty, not the unknown date, not text.
bool IsRealDate(const std::string& text) {
  if (text.size() != 10) return false;
  const int32_t day = ParseDayNumber(text);
  return day != 0 && day != kUnknownDayNumber;
}

bool IsDateText(int id) {
  return id == kLastHistoryDate || id == kFilingDate || id == kIssueDate || id == kPubDate;
}

}  // namespace

int FindFieldByKey(std::string_view key) {
  for (int id = 0; id < kFieldCount; ++id) {
    if (EqualsNoCase(key, kFields[id].key)) return id;
  }
  return -1;
}

void SetStatusUrlBuilder(std::function<std::string(const CEntry&)> builder) {
  StatusUrlBuilder() = std::move(builder);
}

std::string CEntry::GetText(int id, bool raw) const {
  switch (id) {
    case kFrequency:
      if (raw) return std::to_string(frequency);
      return kFrequencyNames[frequency >= kDaily && frequency < kNever ? frequency : kNever];
    case kLastUpdate:
      return raw ? std::to_string(last_update) : FormatDayNumber(last_update);
    case kLastChange:
      return raw ? std::to_string(last_change) : FormatDayNumber(last_change);
    default:
      if (id < kReference || id >= kFieldCount) return std::string();
      return Text(id);
  }
}

bool CEntry::GetTextByName(std::string_view name, std::string& out) const {
  const int id = FindFieldByKey(name);
  if (id >= 0) {
    out = GetText(id);
    return true;
  }
  if (EqualsNoCase(name, "RecentChange")) {
    out = IsRecentChange() ? "Yes" : "No";
  } else if (EqualsNoCase(name, "UpToDate")) {
    out = IsUpToDate() ? "Yes" : "No";
  } else if (EqualsNoCase(name, "StatusUrl")) {
    out = StatusUrl();
  } else if (EqualsNoCase(name, "Identifier")) {
    out = Identifier();
  } else if (EqualsNoCase(name, "AppNum2")) {
    out = AppNum2();
  } else if (EqualsNoCase(name, "LastHistory")) {
    out = LastHistory();
  } else {
    return false;
  }
  return true;
}

void CEntry::SetText(int id, std::string_view text) {
  int32_t value = 0;
  switch (id) {
    case kFrequency:
      ReadLeadingNumber(text, value);
      frequency = value;
      return;
    case kLastUpdate:
      ReadLeadingNumber(text, value);
      last_update = value;
      return;
    case kLastChange:
      ReadLeadingNumber(text, value);
      last_change = value;
      return;
    default:
      break;
  }
  if (id < kReference || id >= kFieldCount) return;
  std::string& field = Text(id);
  field.assign(text);
  for (char& c : field) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
}

void CEntry::SetTextByName(std::string_view name, std::string_view text) {
  const int id = FindFieldByKey(name);
  if (id >= 0) SetText(id, text);
}

std::string CEntry::Identifier() const {
  if (!Text(kPatNum).empty()) return Text(kPatNum);
  if (!Text(kAppNum).empty()) return "application " + Text(kAppNum);
  return "publication " + Text(kPubNum);
}

std::string CEntry::AppNum2() const {
  std::string result = Text(kAppNum);
  for (std::size_t position : {2u, 5u}) {
    if (position < result.size()) result.erase(position, 1);
  }
  return result;
}

std::string CEntry::LastHistory() const {
  return Text(kLastHistoryDate) + " - " + Text(kLastHistoryText);
}

std::string CEntry::StatusUrl() const {
  const auto& builder = StatusUrlBuilder();
  return builder ? builder(*this) : std::string();
}

int CEntry::CompareField(const CEntry& other, int id) const {
  switch (id) {
    case kFrequency:
      return CompareNumbers(frequency, other.frequency);
    case kLastUpdate:
      return CompareNumbers(other.last_update, last_update);
    case kLastChange:
      return CompareNumbers(other.last_change, last_change);
    case kReference:
      return CompareLettersAndDigitsNoCase(Text(kReference), other.Text(kReference));
    case kError:
      return 0;
    default:
      break;
  }
  if (id < kReference || id >= kFieldCount) return 0;
  const std::string& mine = Text(id);
  const std::string& theirs = other.Text(id);
  if (IsDateText(id)) return -CompareBytes(mine, theirs);
  if (mine.empty() || theirs.empty()) {
    return static_cast<int>(mine.empty()) - static_cast<int>(theirs.empty());
  }
  return CompareNoCase(mine, theirs);
}

int CEntry::SortCompare(const CEntry& other, int id, bool reversed) const {
  int result = CompareField(other, id);
  if (reversed) result = -result;
  if (result == 0 && id != kAppNum) result = CompareField(other, kAppNum);
  if (result == 0 && id != kPatNum) result = CompareField(other, kPatNum);
  return result;
}

bool CEntry::FieldDiffers(const CEntry& a, const CEntry& b, int id) {
  if (id == kLastHistoryDate) {
    const std::string& x = a.Text(kLastHistoryDate);
    const std::string& y = b.Text(kLastHistoryDate);
    return x != y && IsRealDate(x) && IsRealDate(y);
  }
  if (id >= kReference && id < kFieldCount) return a.Text(id) != b.Text(id);
  return a.GetText(id) != b.GetText(id);
}

bool CEntry::SameStatus(const CEntry& other) const {
  return std::none_of(kChangeList.begin(), kChangeList.end(),
                      [&](int id) { return FieldDiffers(*this, other, id); });
}

bool CEntry::IsUpToDate() const {
  if (last_update == 0) return false;
  const int32_t today = TodayDayNumber();
  int update_year = 0, update_month = 0, update_day = 0;
  int today_year = 0, today_month = 0, today_day = 0;
  switch (frequency) {
    case kDaily:
      return last_update == today;
    case kWeekly:
      return WeekOf(today) == WeekOf(last_update);
    case kMonthly:
    case kYearly:
      CalendarFromDayNumber(last_update, update_year, update_month, update_day);
      CalendarFromDayNumber(today, today_year, today_month, today_day);
      return update_year == today_year && (frequency == kYearly || update_month == today_month);
    default:
      return true;
  }
}

bool CEntry::IsRecentChange() const {
  return last_change != 0 &&
         static_cast<int64_t>(TodayDayNumber()) - static_cast<int64_t>(last_change) < 8;
}

int CEntry::StateImage() const {
  return (IsRecentChange() ? 1 : 0) + (IsUpToDate() ? 2 : 0) + (Text(kError).empty() ? 0 : 4);
}

void CEntry::Normalize() {
  std::string& history_date = Text(kLastHistoryDate);
  std::string& history_text = Text(kLastHistoryText);
  if (history_date.empty() && !history_text.empty()) {
    const std::size_t separator = history_text.find(" - ");
    if (separator == std::string::npos) {
      history_date.swap(history_text);
    } else {
      history_date.assign(history_text, 0, separator);
      history_text.erase(0, separator + 3);
    }
  }
  if (history_date == "0000-00-00") history_date = kUnknownDate;

  std::string& reference = Text(kReference);
  std::string& docket = Text(kDocketNumber);
  if (reference.empty()) {
    reference = docket;
  } else if (docket.empty()) {
    docket = reference;
  }

  if (Text(kForeign) == "None") Text(kForeign).clear();
  if (Text(kParentContinuity) == "No Parent Continuity Data Found.") {
    Text(kParentContinuity).clear();
  }
  if (Text(kChildContinuity) == "No Child Continuity Data Found.") {
    Text(kChildContinuity).clear();
  }

  if (last_change == 0) {
    int32_t history_day = ParseDayNumber(history_date);
    if (history_day == kUnknownDayNumber) history_day = 0;
    last_change = history_day != 0 ? history_day : TodayDayNumber();
  }
}

void CEntry::MarkChanged() { last_change = TodayDayNumber(); }

void CEntry::MarkForRetry() { last_update = TodayDayNumber() - 1; }

}  // namespace larkspire
