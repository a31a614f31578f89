#include "entries/ListedNumbers.h"

#include "entries/TextOrder.h"

namespace larkspire {
namespace {

std::string KeyOf(int id, std::string_view number) {
  if (id == kPubNum && number.size() > 3 && CompareNoCase(number.substr(0, 3), "US ") == 0) {
    number.remove_prefix(3);
  }
  std::string key(number.size(), '\0');
  for (std::size_t i = 0; i < number.size(); ++i) {
    key[i] = static_cast<char>(UpperCaseCp1252(static_cast<unsigned char>(number[i])));
  }
  return key;
}

}  // namespace

CListedNumbers::CListedNumbers(const CEntryList& list) {
  for (std::size_t row = 0; row < list.Size(); ++row) Add(list.At(row), row);
}

void CListedNumbers::Add(const CEntry& entry, std::size_t tag) {
  for (int id : {kAppNum, kPatNum, kPubNum}) {
    const std::string& number = entry.Text(id);
    if (!number.empty()) numbers_[KindOf(id)].emplace(KeyOf(id, number), tag);
  }
}

std::optional<std::size_t> CListedNumbers::Find(const CEntry& entry) const {
  for (int id : {kPatNum, kAppNum, kPubNum}) {
    const std::string& number = entry.Text(id);
    if (number.empty()) continue;
    const auto& map = numbers_[KindOf(id)];
    const auto found = map.find(KeyOf(id, number));
    if (found != map.end()) return found->second;
  }
  return std::nullopt;
}

std::size_t CListedNumbers::KindOf(int id) { return id == kAppNum ? 0 : id == kPatNum ? 1 : 2; }

}  // namespace larkspire
