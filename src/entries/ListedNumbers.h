// The numbers of a set of entries, for checking a batch for duplicates without comparing each
// new entry with every row.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>

#include "entries/EntryList.h"

namespace larkspire {

class CListedNumbers {
 public:
  CListedNumbers() = default;
  // Every row of the list, each tagged with its row index.
  explicit CListedNumbers(const CEntryList& list);

  // Remembers the entry's application, patent and publication numbers with the tag; a number
  // already remembered keeps its first tag.
  void Add(const CEntry& entry, std::size_t tag);
  // The tag of an entry sharing one of the entry's numbers (patent, application, publication,
  // in this order), since each names one application. For an entry with one number, as the Add
  // dialog makes them, this is the list's own duplicate check, except that an entry known only
  // by its publication number is found too. Case is ignored, and a leading "US " of a
  // publication number.
  std::optional<std::size_t> Find(const CEntry& entry) const;

 private:
  // Application, patent and publication numbers, each kind apart.
  static std::size_t KindOf(int id);
  std::array<std::unordered_map<std::string, std::size_t>, 3> numbers_;
};

}  // namespace larkspire
