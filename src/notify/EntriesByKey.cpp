#include "notify/EntriesByKey.h"

#include "entries/EntryList.h"

namespace larkspire {

CEntriesByKey::CEntriesByKey(const CEntryList& entries) {
  entries_.reserve(entries.Size());
  for (std::size_t row = 0; row < entries.Size(); ++row) {
    entries_.emplace(entries.At(row).Identifier(), &entries.At(row));
  }
}

const CEntry* CEntriesByKey::Find(const std::string& entry_key) const {
  const auto found = entries_.find(entry_key);
  return found == entries_.end() ? nullptr : found->second;
}

}  // namespace larkspire
