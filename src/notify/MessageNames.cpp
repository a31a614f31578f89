#include "notify/MessageNames.h"

#include <algorithm>

namespace larkspire {
namespace {

constexpr std::string_view kPrefix = "Larkspire_";
constexpr std::string_view kSuffix = ".tmp";
// The pending list was read with a 64-byte buffer: a name and its line end.
constexpr std::size_t kLongestName = 62;

bool IsKeyCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::string> MessageKind(std::string_view name) {
  if (name.size() > kLongestName || name.size() < kPrefix.size() + kSuffix.size() + 1 ||
      name.substr(0, kPrefix.size()) != kPrefix ||
      name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return std::nullopt;
  }
  std::string_view middle =
      name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const std::size_t tilde = middle.find('~');
  if (tilde != std::string_view::npos) {
    if (!IsDigits(middle.substr(tilde + 1))) return std::nullopt;
    middle = middle.substr(0, tilde);
  }
  if (middle == kWelcomeKind) return std::string(kWelcomeKind);
  if (middle.empty() || std::string_view("acdimrst").find(middle[0]) == std::string_view::npos ||
      !std::all_of(middle.begin() + 1, middle.end(), IsKeyCharacter)) {
    return std::nullopt;
  }
  return std::string(1, middle[0]);
}

std::string UnusedMessageName(const std::string& kind, const std::string& key,
                              const std::function<bool(const std::string&)>& taken) {
  const std::string base = std::string(kPrefix) + kind + key;
  std::string name = base + std::string(kSuffix);
  for (int n = 2; taken(name); ++n) name = base + "~" + std::to_string(n) + std::string(kSuffix);
  return name;
}

}  // namespace larkspire
