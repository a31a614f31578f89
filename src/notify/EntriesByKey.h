// The entries of the list by the key the docket files their deadlines under (Identifier()), so
// the calendar and the report find each deadline's entry without a search of the list.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace larkspire {

class CEntry;
class CEntryList;

class CEntriesByKey {
 public:
  explicit CEntriesByKey(const CEntryList& entries);
  // Null when no entry of the list has the key (its deadlines outlived it).
  const CEntry* Find(const std::string& entry_key) const;

 private:
  std::unordered_map<std::string, const CEntry*> entries_;
};

}  // namespace larkspire
