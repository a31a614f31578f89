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

// CR, LF or NUL inside a value that goes onto one protocol line would end that line early and
// let the value inject lines of its own.
inline bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace larkspire
