#include "entries/TabFields.h"

namespace larkspire {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned char c : value) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
}

std::string Escaped(std::string_view value) {
  std::string out;
  AppendEscaped(out, value);
  return out;
}

std::optional<std::string> Unescaped(std::string_view field) {
  std::string value;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      value += field[i];
      continue;
    }
    if (++i == field.size()) return std::nullopt;
    switch (field[i]) {
      case '\\':
        value += '\\';
        break;
      case 't':
        value += '\t';
        break;
      case 'r':
        value += '\r';
        break;
      case 'n':
        value += '\n';
        break;
      case 'x': {
        const int high = i + 1 < field.size() ? HexValue(field[i + 1]) : -1;
        const int low = i + 2 < field.size() ? HexValue(field[i + 2]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        value += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return value;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t tab = line.find('\t');
    parts.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return parts;
    line.remove_prefix(tab + 1);
  }
}

}  // namespace larkspire
