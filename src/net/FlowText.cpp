#include "net/FlowText.h"

#include <cstdio>

namespace larkspire {

std::string EscapeControlBytes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (byte < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\0x%02x", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::string EscapeFlowText(std::string_view text) {
  if (text.size() <= 80) return EscapeControlBytes(text);
  std::string shortened(text.substr(0, 40));
  shortened += "...";
  shortened.append(text.substr(text.size() - 40));
  return EscapeControlBytes(shortened);
}

}  // namespace larkspire
