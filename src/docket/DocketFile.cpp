#include "docket/DocketFile.h"

#include <cerrno>
#include <system_error>

#include "entries/TabFields.h"
#include "platform/Files.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

constexpr std::size_t kFieldCount = 14;  // without the UID
constexpr std::size_t kUidField = kFieldCount;
constexpr std::string_view kNewerFormat =
    "was written by a newer version of Larkspire, in a format this one does not read";

std::string DateField(int32_t day) { return day == 0 ? std::string() : FormatDayNumber(day); }

std::optional<int32_t> ParseDateField(std::string_view field) {
  if (field.empty()) return 0;
  const int32_t day = ParseDayNumber(field);
  if (day == 0 || day == kUnknownDayNumber) return std::nullopt;
  return day;
}

std::optional<bool> ParseFlag(std::string_view field) {
  if (field == "0") return false;
  if (field == "1") return true;
  return std::nullopt;
}

// The deadline of one line, or why the line is not one.
std::optional<CDeadline> ParseLine(std::string_view line, bool with_uid, std::string& why) {
  const std::vector<std::string_view> fields = SplitTabs(line);
  const std::size_t count = kFieldCount + (with_uid ? 1 : 0);
  if (fields.size() != count) {
    why = "it has " + std::to_string(fields.size()) + " fields instead of " + std::to_string(count);
    return std::nullopt;
  }
  std::string text[kFieldCount + 1];
  for (std::size_t i = 0; i < count; ++i) {
    std::optional<std::string> value = Unescaped(fields[i]);
    if (!value) {
      why = "field " + std::to_string(i + 1) + " has a broken escape";
      return std::nullopt;
    }
    text[i] = std::move(*value);
  }
  CDeadline deadline;
  deadline.entry_key = std::move(text[0]);
  deadline.reference = std::move(text[1]);
  deadline.rule_key = std::move(text[2]);
  deadline.what = std::move(text[3]);
  deadline.opening_event = std::move(text[4]);
  deadline.closing_event = std::move(text[12]);
  deadline.uid = std::move(text[kUidField]);
  int32_t* const dates[] = {&deadline.opened_on, &deadline.window_opens, &deadline.computed_due,
                            &deadline.due,       &deadline.last_date,    nullptr,
                            &deadline.closed_on};
  for (std::size_t i = 0; i < std::size(dates); ++i) {
    if (dates[i] == nullptr) continue;
    const std::optional<int32_t> day = ParseDateField(text[5 + i]);
    if (!day) {
      why = "field " + std::to_string(6 + i) + " is not a date";
      return std::nullopt;
    }
    *dates[i] = *day;
  }
  const std::optional<bool> extendable = ParseFlag(text[10]);
  const std::optional<bool> done = ParseFlag(text[13]);
  if (!extendable || !done) {
    why = "a yes/no field is neither 0 nor 1";
    return std::nullopt;
  }
  deadline.extendable = *extendable;
  deadline.done = *done;
  if (deadline.entry_key.empty() || deadline.rule_key.empty() || deadline.opened_on == 0 ||
      deadline.due == 0) {
    why = "it names no entry, rule, opening date or due date";
    return std::nullopt;
  }
  return deadline;
}

}  // namespace

std::string FormatDocket(const CDocket& docket) {
  // A UID is written only where it is not the one the deadline's fields make.
  std::vector<std::string> uids(docket.All().size());
  bool with_uids = false;
  for (std::size_t row = 0; row < uids.size(); ++row) {
    const CDeadline& deadline = docket.All()[row];
    if (deadline.uid.empty() || deadline.uid == deadline.KeyedUid()) continue;
    uids[row] = deadline.uid;
    with_uids = true;
  }
  std::string out(with_uids ? kDocketFileHeaderWithUids : kDocketFileHeader);
  out += "\r\n";
  for (std::size_t row = 0; row < docket.All().size(); ++row) {
    const CDeadline& deadline = docket.All()[row];
    const std::string fields[kFieldCount] = {deadline.entry_key,
                                             deadline.reference,
                                             deadline.rule_key,
                                             deadline.what,
                                             deadline.opening_event,
                                             DateField(deadline.opened_on),
                                             DateField(deadline.window_opens),
                                             DateField(deadline.computed_due),
                                             DateField(deadline.due),
                                             DateField(deadline.last_date),
                                             deadline.extendable ? "1" : "0",
                                             DateField(deadline.closed_on),
                                             deadline.closing_event,
                                             deadline.done ? "1" : "0"};
    for (std::size_t i = 0; i < kFieldCount; ++i) {
      if (i != 0) out += '\t';
      AppendEscaped(out, fields[i]);
    }
    if (with_uids) {
      out += '\t';
      AppendEscaped(out, uids[row]);
    }
    out += "\r\n";
  }
  return out;
}

std::string ParseDocket(std::string_view bytes, CDocket& docket) {
  std::vector<CDeadline> deadlines;
  std::size_t start = 0;
  std::size_t number = 0;
  bool with_uids = false;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) {
      return "line " + std::to_string(number + 1) + " is cut short (it has no line end)";
    }
    std::string_view line = bytes.substr(start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    start = end + 1;
    if (++number == 1) {
      with_uids = line == kDocketFileHeaderWithUids;
      if (line == kDocketFileHeader || with_uids) continue;
      if (line.starts_with("Larkspire docket ")) {
        return std::string(kNewerFormat) + " (\"" + std::string(line) + "\")";
      }
      return "it does not begin with the line \"" + std::string(kDocketFileHeader) + "\"";
    }
    std::string why;
    std::optional<CDeadline> deadline = ParseLine(line, with_uids, why);
    if (!deadline) return "line " + std::to_string(number) + ": " + why;
    deadlines.push_back(std::move(*deadline));
  }
  if (number == 0) return "it is empty";
  docket.Replace(std::move(deadlines));
  return std::string();
}

std::string LoadDocket(const std::string& path, CDocket& docket) {
  if (!FileExists(path)) {
    docket.Replace({});
    return std::string();
  }
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    return "The docket file " + path + " could not be read (" +
           std::system_category().message(errno) + ").";
  }
  const std::string problem = ParseDocket(bytes, docket);
  if (problem.empty()) return problem;
  if (problem.starts_with(kNewerFormat)) return "The docket file " + path + " " + problem + ".";
  return "The docket file " + path + " is damaged: " + problem + ".";
}

std::string SaveDocket(const std::string& path, const CDocket& docket) {
  if (SaveFileAtomically(path, FormatDocket(docket))) return std::string();
  return "The docket file " + path + " could not be saved (" +
         std::system_category().message(errno) + "); it keeps what it held before.";
}

}  // namespace larkspire
