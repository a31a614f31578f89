#include "retrieval/OdpFormats.h"

#include <array>
#include <cstdint>

#include "rules/Dates.h"

namespace larkspire {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string Without(std::string_view text, std::string_view characters) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (characters.find(c) == std::string_view::npos) out += c;
  }
  return out;
}

// Code points of Windows-1252's bytes 0x80 to 0x9F; 0 where the code page has no character.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char Windows1252Byte(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == code_point) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > utf8.size()) {
      out += '?';
      ++i;
      continue;
    }
    char32_t code_point = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      code_point = (code_point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    out += Windows1252Byte(code_point);
    i += length;
  }
  return out;
}

std::optional<std::string> IsoDate(std::string_view text) {
  if (text.size() < 10 || (text.size() > 10 && text[10] != 'T' && text[10] != ' ')) {
    return std::nullopt;
  }
  const std::string_view date = text.substr(0, 10);
  const int32_t day = ParseDayNumber(date);
  if (day == 0 || day == kUnknownDayNumber) return std::nullopt;
  return std::string(date);
}

std::optional<std::string> SiteTableDate(std::string_view text) {
  const std::optional<std::string> iso = IsoDate(text);
  if (!iso) return std::nullopt;
  return iso->substr(5, 2) + "-" + iso->substr(8, 2) + "-" + iso->substr(0, 4);
}

std::string FormatPatentNumber(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  const std::string compact = Without(trimmed, ",");
  std::size_t letters = 0;
  while (letters < compact.size() && IsUpper(compact[letters])) ++letters;
  std::string_view digits = std::string_view(compact).substr(letters);
  if (letters > 2 || !AllDigits(digits)) return std::string(trimmed);
  while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);

  std::string out = compact.substr(0, letters);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string FormatPublicationNumber(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  const std::string compact = Without(trimmed, " -/");
  const std::size_t country =
      compact.size() >= 2 && IsUpper(compact[0]) && IsUpper(compact[1]) ? 2 : 0;
  const std::string_view rest = std::string_view(compact).substr(country);
  // Year, seven-digit serial, then a kind code of a letter and at most one digit.
  const std::size_t kind = rest.size() == 13 || rest.size() == 12 ? 11 : std::string_view::npos;
  if (kind == std::string_view::npos || !AllDigits(rest.substr(0, kind)) || !IsUpper(rest[kind]) ||
      (rest.size() == 13 && !IsDigit(rest[12]))) {
    return std::string(trimmed);
  }
  std::string out;
  if (country) out = compact.substr(0, 2) + " ";
  out += rest.substr(0, 4);
  out += '-';
  out += rest.substr(4, 7);
  out += ' ';
  out += rest.substr(kind);
  return out;
}

std::string FormatApplicationNumber(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  if (trimmed.size() == 8 && AllDigits(trimmed)) {
    std::string out(trimmed);
    out.insert(5, ",");
    out.insert(2, "/");
    return out;
  }
  // International applications: PCT, the office's country code, then the year (four digits
  // since 2004, two before) and the serial.
  if (trimmed.size() > 5 && trimmed.starts_with("PCT") && IsUpper(trimmed[3]) &&
      IsUpper(trimmed[4]) && AllDigits(trimmed.substr(5))) {
    const std::string_view digits = trimmed.substr(5);
    const std::size_t year = digits.size() == 10                        ? 4
                             : digits.size() == 7 || digits.size() == 8 ? 2
                                                                        : 0;
    if (year != 0) {
      std::string out = "PCT/";
      out += trimmed.substr(3, 2);
      out += digits.substr(0, year);
      out += '/';
      out += digits.substr(year);
      return out;
    }
  }
  return std::string(trimmed);
}

std::string FormatUspcClass(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  const std::size_t slash = trimmed.find('/');
  if (slash == std::string_view::npos || slash == 0) return std::string(trimmed);
  const std::string_view subclass = trimmed.substr(slash + 1);
  if (!AllDigits(subclass) || (subclass.size() != 6 && subclass.size() > 3)) {
    return std::string(trimmed);
  }
  std::string out(trimmed.substr(0, slash + 1));
  if (subclass.size() == 6) {
    out += subclass.substr(0, 3);
    out += '.';
    out += subclass.substr(3);
  } else {
    out.append(3 - subclass.size(), '0');
    out += subclass;
    out += ".000";
  }
  return out;
}

}  // namespace larkspire
