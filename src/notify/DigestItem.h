// A digest item: one change, new entry or failure of a run, kept in a small file of the queue
// (kind "i", never sent by itself) until the digest that holds it is composed. The file is
// text: a first line naming its form, then one "name TAB value" line per value, with
// backslash, tab, CR and LF in values written as \\, \t, \r and \n.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

inline constexpr const char* kDigestItemKind = "i";
inline constexpr const char* kDigestKind = "m";

enum class DigestItemKind { kChange, kNew, kFailed };

struct CDigestField {
  std::string name;  // the field's caption, as change mails name it
  std::string now;
  std::string was;
  bool operator==(const CDigestField&) const = default;
};

struct CDigestItem {
  DigestItemKind kind = DigestItemKind::kChange;
  std::string reference;
  std::string number;
  std::vector<CDigestField> fields;  // a change's fields
  std::string error;                 // a failure's reason
  bool operator==(const CDigestItem&) const = default;
};

std::string FormatDigestItem(const CDigestItem& item);
// Nothing for text that is not a whole item of this form.
std::optional<CDigestItem> ParseDigestItem(std::string_view text);

}  // namespace larkspire
