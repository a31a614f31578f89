#include "platform/Markup.h"

namespace larkspire {

std::string EncodeEntities(std::string_view text, std::string_view apostrophe) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += apostrophe;
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace larkspire
