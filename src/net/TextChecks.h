// Small text tests shared by the HTTP and SMTP clients.
#pragma once

#include <cctype>
#include <string_view>

namespace larkspire {

// ASCII comparison of the text's start, as protocol keywords are compared.
inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

// The decimal number at the start of the text, saturating at 999999999; -1 when there is none.
inline long LeadingDecimal(std::string_view text) {
  long value = -1;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value < 0) value = 0;
    if (value < 100000000) value = value * 10 + (c - '0');
  }
  return value;
}

// CR, LF or NUL inside a value that goes onto one protocol line would end that line early and
// let the value inject lines of its own.
inline bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace larkspire
