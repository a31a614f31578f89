#include "rules/RulesFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Files.h"
#include "platform/Resources.h"
#include "rules/PageText.h"
#include "rules/SectionIndex.h"

namespace larkspire {
namespace {

// The built-in rules file is template resource 11.
constexpr const char* kBuiltInRulesType = "TemplateFile";
constexpr int kBuiltInRulesNumber = 11;

constexpr std::size_t kReadBlockSize = 4096;

std::string InRulesFolder(const std::string& log_dir, const char* name) {
  if (log_dir.empty()) return std::string();
  return JoinPath(JoinPath(log_dir, "Larkspire"), name);
}

// The lines of one section after its header: the header line's remainder plus every following
// line that begins with a blank, ";" or is empty.
std::string_view SectionBody(std::string_view rules, std::size_t start, std::size_t line_end) {
  const std::size_t npos = std::string_view::npos;
  while (line_end != npos && line_end + 2 < rules.size()) {
    const char next = rules[line_end + 2];
    if (next != '\r' && next != ';' && next != ' ') break;
    // Searching from the next line's first character: for an empty line that is its own CR,
    // so the line after it is judged on its own.
    line_end = rules.find("\r\n", line_end + 2);
  }
  return rules.substr(start, line_end == npos ? npos : line_end - start);
}

// text with every find replaced, as ReplaceAll does, into out; false as soon as out would pass
// max_bytes.
bool ReplaceAllWithin(std::string_view text, std::string_view find, std::string_view replacement,
                      std::size_t max_bytes, std::string& out) {
  out.clear();
  if (find.empty()) {
    if (text.size() > max_bytes) return false;
    out.assign(text);
    return true;
  }
  std::size_t pos = 0;
  for (std::size_t hit = text.find(find); hit != std::string_view::npos;
       hit = text.find(find, pos)) {
    if (out.size() + (hit - pos) + replacement.size() > max_bytes) return false;
    out.append(text, pos, hit - pos);
    out.append(replacement);
    pos = hit + find.size();
  }
  if (out.size() + (text.size() - pos) > max_bytes) return false;
  out.append(text, pos);
  return true;
}

// "[Name#find=replace#...]" references replaced by variable values; the pattern escapes
// "[[]" and "[]]" are left for the matcher. Inserted values are never rescanned. Nothing when
// the value, or any step towards it, would pass kMaxRuleValueBytes.
std::optional<std::string> SubstituteVariables(const VariableLookup& lookup, std::string value) {
  std::size_t pos = 0;
  while (true) {
    const std::size_t open = value.find('[', pos);
    if (open == std::string::npos) break;
    const std::string_view at = std::string_view(value).substr(open);
    if (at.starts_with("[[]") || at.starts_with("[]]")) {
      pos = open + 3;
      continue;
    }
    const std::size_t close = value.find(']', open + 1);
    if (close == std::string::npos) break;
    std::string name = value.substr(open + 1, close - open - 1);
    std::string pieces;
    if (!name.starts_with("*")) {
      const std::size_t hash = name.find('#');
      if (hash != std::string::npos) {
        pieces = name.substr(hash + 1);
        name.erase(hash);
      }
    }
    std::string replacement = lookup(name);
    std::string replaced;
    while (!pieces.empty()) {
      std::string piece = SplitHead(pieces, "#");
      const std::size_t equals = piece.find('=');
      if (equals == std::string::npos) continue;
      if (!ReplaceAllWithin(replacement, std::string_view(piece).substr(0, equals),
                            std::string_view(piece).substr(equals + 1), kMaxRuleValueBytes,
                            replaced)) {
        return std::nullopt;
      }
      replacement.swap(replaced);
    }
    if (value.size() - (close + 1 - open) + replacement.size() > kMaxRuleValueBytes) {
      return std::nullopt;
    }
    value.replace(open, close + 1 - open, replacement);
    pos = open + replacement.size();
  }
  if (value.size() > kMaxRuleValueBytes) return std::nullopt;
  return value;
}

}  // namespace

std::string RulesFilePath(const std::string& log_dir) {
  return InRulesFolder(log_dir, "rules.txt");
}

std::string OfficeRulesFilePath(const std::string& log_dir) {
  return InRulesFolder(log_dir, "office-rules.txt");
}

namespace {

// Stray NUL bytes dropped: each block of the file is kept up to its first NUL byte.
std::string RulesTextOf(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  const std::string_view all(bytes);
  for (std::size_t block = 0; block < all.size(); block += kReadBlockSize) {
    std::string_view piece = all.substr(block, kReadBlockSize);
    text.append(piece.substr(0, piece.find('\0')));
  }
  return text;
}

// Why a file opened as fd may not decide anything for this user (as where the key is sent):
// another user may have put it there or may change it. "" when it is this user's or root's and
// writable by nobody else.
std::string OfficeFileRefusal(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return "it cannot be examined";
  if (st.st_uid != ::getuid() && st.st_uid != 0) {
    return "it belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return std::string("other users may write it (mode ") + mode + ")";
  }
  return "";
}

bool ReadDescriptor(int fd, std::string& out) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

std::string ReadRulesFile(const std::string& path) {
  std::string bytes;
  if (path.empty() || !ReadWholeFile(path, bytes)) return std::string();
  return RulesTextOf(bytes);
}

bool IsAcceptableRulesText(std::string_view text) {
  return text.starts_with(kVersionMarker) && text.find(kEndOfRulesLine) != std::string_view::npos;
}

std::string ChooseRulesText(const std::string& log_dir, bool* office, std::string* passed_by) {
  std::string file;
  const std::string path = OfficeRulesFilePath(log_dir);
  // Checked and read through one descriptor: what is read is the file that was checked.
  const int fd = path.empty() ? -1 : OpenRegularFile(path, O_RDONLY);
  if (fd >= 0) {
    const std::string refusal = OfficeFileRefusal(fd);
    std::string bytes;
    if (refusal.empty() && ReadDescriptor(fd, bytes)) file = RulesTextOf(bytes);
    if (passed_by != nullptr) *passed_by = refusal;
    ::close(fd);
  }
  const bool office_file = IsAcceptableRulesText(file);
  if (office != nullptr) *office = office_file;
  if (office_file) return file;
  return std::string(FindResource(kBuiltInRulesType, kBuiltInRulesNumber).value_or(""));
}

std::string ValueAfterMarker(std::string_view text, std::string_view marker) {
  std::size_t found = text.find(marker);
  if (found == std::string_view::npos) found = UpperAnsi(text).find(UpperAnsi(marker));
  if (found == std::string_view::npos) return std::string();
  const std::size_t start = text.find_first_not_of(' ', found + marker.size());
  if (start == std::string_view::npos) return std::string();
  const std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) return std::string();
  return TrimDash(text.substr(start, end - start));
}

std::string LookupRule(const CRules& in_use, std::string_view section,
                       std::optional<std::string_view> key) {
  const std::string_view rules = in_use.text;
  thread_local CSectionIndex sections;
  const std::size_t found = sections.Find(rules, section);
  if (found == std::string_view::npos) return std::string();
  const std::size_t start = found + 2 + section.size() + 1;
  const std::size_t line_end = rules.find("\r\n", start);
  if (!key) {
    return std::string(rules.substr(
        start, line_end == std::string_view::npos ? std::string_view::npos : line_end - start));
  }

  const std::string_view body = SectionBody(rules, start, line_end);
  std::string entry = "\r\n ";
  entry += *key;
  entry += ": ";
  const std::size_t at = FindBytes(body, entry);
  if (at == std::string_view::npos) return std::string();
  const std::size_t value_start = at + entry.size();
  const std::size_t value_end = body.find("\r\n", value_start);
  std::string value(body.substr(value_start, value_end == std::string_view::npos
                                                 ? std::string_view::npos
                                                 : value_end - value_start));

  value = ReplaceAll(value, "\\r\\n", "\r\n");
  value = ReplaceAll(value, "\\\\", "\\");
  std::optional<std::string> substituted = SubstituteVariables(in_use.variables, std::move(value));
  if (!substituted) {
    if (in_use.report_error) in_use.report_error(RuleTooLongMessage(section, *key));
    return std::string();
  }
  return std::move(*substituted);
}

std::string RuleTooLongMessage(std::string_view section, std::string_view key) {
  std::string message = "Rules file: ";
  message += section;
  message += ' ';
  message += key;
  message += " is longer than 64 KB with its references filled in.";
  return message;
}

std::vector<std::string> SplitRuleList(std::string_view value, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(separator, start);
    if (end == std::string_view::npos) end = value.size();
    std::string_view part = value.substr(start, end - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    if (!part.empty()) parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

}  // namespace larkspire
