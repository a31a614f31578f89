#include "notify/DigestItem.h"

#include "entries/TabFields.h"

namespace larkspire {
namespace {

constexpr std::string_view kHeader = "Larkspire digest item 1";
constexpr std::string_view kKindNames[] = {"change", "new", "failed"};

}  // namespace

std::string FormatDigestItem(const CDigestItem& item) {
  std::string out(kHeader);
  out += "\nkind\t";
  out += kKindNames[static_cast<int>(item.kind)];
  out += "\nreference\t" + Escaped(item.reference) + "\nnumber\t" + Escaped(item.number) + "\n";
  for (const CDigestField& field : item.fields) {
    out += "field\t" + Escaped(field.name) + "\t" + Escaped(field.now) + "\t" + Escaped(field.was) +
           "\n";
  }
  if (!item.error.empty()) out += "error\t" + Escaped(item.error) + "\n";
  return out;
}

std::optional<CDigestItem> ParseDigestItem(std::string_view text) {
  if (text.substr(0, kHeader.size()) != kHeader || !text.ends_with('\n')) return std::nullopt;
  text.remove_prefix(kHeader.size());
  if (!text.starts_with('\n')) return std::nullopt;
  text.remove_prefix(1);
  CDigestItem item;
  bool kind_seen = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::vector<std::string_view> parts = SplitTabs(text.substr(0, end));
    text.remove_prefix(end + 1);
    std::vector<std::string> values;
    for (std::size_t k = 1; k < parts.size(); ++k) {
      std::optional<std::string> value = Unescaped(parts[k]);
      if (!value) return std::nullopt;
      values.push_back(std::move(*value));
    }
    const std::string_view name = parts[0];
    if (name == "kind" && values.size() == 1 && !kind_seen) {
      kind_seen = true;
      bool known = false;
      for (int k = 0; k < 3; ++k) {
        if (values[0] == kKindNames[k]) {
          item.kind = static_cast<DigestItemKind>(k);
          known = true;
        }
      }
      if (!known) return std::nullopt;
    } else if (name == "reference" && values.size() == 1) {
      item.reference = values[0];
    } else if (name == "number" && values.size() == 1) {
      item.number = values[0];
    } else if (name == "field" && values.size() == 3) {
      item.fields.push_back({values[0], values[1], values[2]});
    } else if (name == "error" && values.size() == 1) {
      item.error = values[0];
    } else {
      return std::nullopt;
    }
  }
  if (!kind_seen) return std::nullopt;
  return item;
}

}  // namespace larkspire
