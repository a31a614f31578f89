#include "Query.h"

#include <strings.h>

namespace larkspire::sim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::string DecodeComponent(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

void ParseQuery(std::string_view text, CQuery& query) {
  while (!text.empty()) {
    const size_t amp = text.find('&');
    const std::string_view part = text.substr(0, amp);
    text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
    if (part.empty()) continue;
    const size_t eq = part.find('=');
    query.emplace_back(DecodeComponent(part.substr(0, eq)),
                       eq == std::string_view::npos ? "" : DecodeComponent(part.substr(eq + 1)));
  }
}

std::string QueryValue(const CQuery& query, std::string_view name) {
  for (const auto& [key, value] : query) {
    if (SameName(key, name)) return value;
  }
  return "";
}

bool HasQueryValue(const CQuery& query, std::string_view name) {
  for (const auto& pair : query) {
    if (SameName(pair.first, name)) return true;
  }
  return false;
}

}  // namespace larkspire::sim
