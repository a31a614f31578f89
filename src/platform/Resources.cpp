#include "platform/Resources.h"

#include <string>

namespace larkspire {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string_view> FindResource(std::string_view type, std::string_view name) {
  for (const EmbeddedResource* r = kEmbeddedResources; r->type != nullptr; ++r) {
    if (EqualsIgnoreCase(r->type, type) && name == r->name) {
      if (r->size == 0) return std::nullopt;
      return std::string_view(reinterpret_cast<const char*>(r->data), r->size);
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> FindResource(std::string_view type, int number) {
  return FindResource(type, std::to_string(number));
}

}  // namespace larkspire
