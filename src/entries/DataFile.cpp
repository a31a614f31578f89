#include "entries/DataFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "entries/LeadingNumber.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr int kVersion0[] = {kReference, kAppNum, kPatNum, kPubNum};
constexpr int kVersion2[] = {
    kReference,        kAppNum,     kFilingDate,      kExaminer, kIssueDate, kArtUnit,
    kPatNum,           kClass,      kLocation,        kStatus,   kCustNum,   kForeign,
    kParentContinuity, kLastUpdate, kLastHistoryText, kError,    kLastChange};
constexpr int kVersion3[] = {
    kFrequency, kReference,        kAppNum,     kFilingDate,      kExaminer, kIssueDate,
    kArtUnit,   kPatNum,           kClass,      kLocation,        kStatus,   kCustNum,
    kForeign,   kParentContinuity, kLastUpdate, kLastHistoryText, kError,    kLastChange};
constexpr int kVersion4[] = {
    kFrequency,  kReference,       kAppNum,   kFilingDate, kExaminer, kIssueDate, kArtUnit,
    kPatNum,     kClass,           kLocation, kStatus,     kCustNum,  kForeign,   kParentContinuity,
    kLastUpdate, kLastHistoryText, kError,    kLastChange, kPubNum,   kPubDate,   kConfirmNum};
constexpr int kVersion5[] = {kFrequency,  kReference,
                             kAppNum,     kFilingDate,
                             kExaminer,   kIssueDate,
                             kArtUnit,    kPatNum,
                             kClass,      kLocation,
                             kStatus,     kCustNum,
                             kForeign,    kParentContinuity,
                             kLastUpdate, kLastHistoryText,
                             kError,      kLastChange,
                             kPubNum,     kPubDate,
                             kConfirmNum, kPTA,
                             kPTE};
constexpr int kVersion6[] = {
    kFrequency,  kReference,       kAppNum,  kFilingDate, kDocketNumber,
    kExaminer,   kIssueDate,       kArtUnit, kPatNum,     kClass,
    kLocation,   kStatus,          kCustNum, kForeign,    kParentContinuity,
    kLastUpdate, kLastHistoryText, kError,   kLastChange, kPubNum,
    kPubDate,    kConfirmNum,      kPTA,     kPTE};
constexpr int kVersion7[] = {
    kFrequency,  kReference,       kAppNum,          kFilingDate, kDocketNumber,
    kExaminer,   kIssueDate,       kArtUnit,         kPatNum,     kClass,
    kLocation,   kStatus,          kCustNum,         kForeign,    kParentContinuity,
    kLastUpdate, kLastHistoryDate, kLastHistoryText, kError,      kLastChange,
    kPubNum,     kPubDate,         kConfirmNum,      kPTA,        kPTE};
constexpr int kVersion8[] = {
    kFrequency, kReference,      kAppNum,           kFilingDate, kDocketNumber,    kExaminer,
    kIssueDate, kArtUnit,        kPatNum,           kClass,      kLocation,        kStatus,
    kCustNum,   kForeign,        kParentContinuity, kLastUpdate, kLastHistoryDate, kLastHistoryText,
    kError,     kLastChange,     kPubNum,           kPubDate,    kConfirmNum,      kPTA,
    kPTE,       kChildContinuity};
static_assert(std::size(kVersion8) == kFieldCount);

// The field list of a readable version; empty for the rejected ones.
std::span<const int> FieldsOfVersion(int32_t version) {
  switch (version) {
    case 0:
      return kVersion0;
    case 2:
      return kVersion2;
    case 3:
      return kVersion3;
    case 4:
      return kVersion4;
    case 5:
      return kVersion5;
    case 6:
      return kVersion6;
    case 7:
      return kVersion7;
    case 8:
      return kVersion8;
    default:
      return {};
  }
}

bool IsNumberField(int id) { return id == kFrequency || id == kLastUpdate || id == kLastChange; }

// Splits off the next line (without its LF and a CR before it) and advances position.
std::string_view NextLine(std::string_view bytes, std::size_t& position) {
  const std::size_t end = bytes.find('\n', position);
  std::string_view line = bytes.substr(
      position, end == std::string_view::npos ? std::string_view::npos : end - position);
  position = end == std::string_view::npos ? bytes.size() : end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Fills the entry from one line; false when a number column holds something that is not a
// number, the one thing in a line that cannot be read.
bool ReadEntryLine(std::string_view line, std::span<const int> fields, CEntry& entry) {
  std::size_t start = 0;
  for (int id : fields) {
    const std::size_t tab = line.find('\t', start);
    const std::string_view value =
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (IsNumberField(id)) {
      int32_t number = 0;
      if (!value.empty() && ReadLeadingNumber(value, number) != NumberRead::kFits) return false;
    }
    entry.SetText(id, value);
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return true;
}

std::string DataErrorMessage(int line_number) {
  return "Data error in application data file at line #" + std::to_string(line_number) + ".";
}

void AppendValue(std::string& out, const CEntry& entry, int id) {
  if (IsNumberField(id)) {
    const int32_t value = id == kFrequency    ? entry.frequency
                          : id == kLastUpdate ? entry.last_update
                                              : entry.last_change;
    char digits[16];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
    out.append(digits, result.ptr);
    return;
  }
  // A TAB or line break placed into a field directly would split the line on reading.
  for (char c : entry.Text(id)) out.push_back(c == '\t' || c == '\r' || c == '\n' ? ' ' : c);
}

}  // namespace

bool ParseDataFile(std::string_view bytes, CEntryList& list, std::string& error) {
  if (bytes.empty()) return true;
  std::size_t position = 0;
  const std::string_view header = NextLine(bytes, position);
  int32_t version = 0;
  if (ReadLeadingNumber(header, version) == NumberRead::kNone) {
    // Not a data file at all; reading it as version 0 would replace it at the next save.
    error = DataErrorMessage(1);
    return false;
  }
  if (version == 1) {
    error = kDataFileUnsupportedMessage;
    return false;
  }
  const std::span<const int> fields = FieldsOfVersion(version);
  if (fields.empty()) {
    error = kDataFileIncompatibleMessage;
    return false;
  }

  const std::string_view body = bytes.substr(position);
  // Each record is built where the list keeps it, so no second copy of it is ever held.
  std::vector<std::unique_ptr<CEntry>> entries;
  entries.reserve(static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n')) + 1);
  int line_number = 1;
  bool ok = true;
  while (position < bytes.size()) {
    ++line_number;
    const std::string_view line = NextLine(bytes, position);
    if (line.empty()) continue;
    auto entry = std::make_unique<CEntry>();
    if (!ReadEntryLine(line, fields, *entry)) {
      error = DataErrorMessage(line_number);
      ok = false;
      break;
    }
    entry->Normalize();
    if (version == 0) {
      entry->frequency = kDaily;
      entry->last_change = 0;
    }
    entries.push_back(std::move(entry));
  }
  list.InsertAll(std::move(entries));
  return ok;
}

bool LoadDataFile(const std::string& path, CEntryList& list, std::string& error) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    if (!FileExists(path)) return true;
    error = kDataFileUnreadableMessage;
    return false;
  }
  return ParseDataFile(bytes, list, error);
}

std::string FormatDataFile(const CEntryList& list) {
  std::string out;
  out.reserve(16 + list.Size() * 160);
  out += std::to_string(kDataFileVersion);
  out += "\r\n";
  for (std::size_t row = 0; row < list.Size(); ++row) {
    const CEntry& entry = list.At(row);
    bool first = true;
    for (int id : kVersion8) {
      if (!first) out.push_back('\t');
      first = false;
      AppendValue(out, entry, id);
    }
    out += "\r\n";
  }
  return out;
}

bool SaveDataFile(const std::string& path, const CEntryList& list) {
  return SaveFileAtomically(path, FormatDataFile(list));
}

}  // namespace larkspire
