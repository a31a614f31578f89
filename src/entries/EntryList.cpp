#include "entries/EntryList.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "entries/TextOrder.h"

namespace larkspire {

void CEntryList::SetSort(int field_id, bool reversed) {
  sort_field_ = field_id;
  sort_reversed_ = reversed;
  Sort();
}

void CEntryList::Sort() {
  std::stable_sort(rows_.begin(), rows_.end(), [this](const Row& a, const Row& b) {
    return a.entry->SortCompare(*b.entry, sort_field_, sort_reversed_) < 0;
  });
}

std::size_t CEntryList::Insert(CEntry entry) {
  // After every entry that does not sort after the new one, so equal entries keep their
  // arrival order.
  const auto position =
      std::upper_bound(rows_.begin(), rows_.end(), entry, [this](const CEntry& e, const Row& row) {
        return e.SortCompare(*row.entry, sort_field_, sort_reversed_) < 0;
      });
  const auto inserted =
      rows_.insert(position, Row{std::make_unique<CEntry>(std::move(entry)), false, false});
  return static_cast<std::size_t>(inserted - rows_.begin());
}

void CEntryList::InsertAll(std::vector<CEntry> entries) {
  std::vector<std::unique_ptr<CEntry>> owned;
  owned.reserve(entries.size());
  for (CEntry& entry : entries) owned.push_back(std::make_unique<CEntry>(std::move(entry)));
  InsertAll(std::move(owned));
}

void CEntryList::InsertAll(std::vector<std::unique_ptr<CEntry>> entries) {
  const std::size_t old_size = rows_.size();
  rows_.reserve(old_size + entries.size());
  for (std::unique_ptr<CEntry>& entry : entries)
    rows_.push_back(Row{std::move(entry), false, false});
  auto less = [this](const Row& a, const Row& b) {
    return a.entry->SortCompare(*b.entry, sort_field_, sort_reversed_) < 0;
  };
  const auto middle = rows_.begin() + static_cast<std::ptrdiff_t>(old_size);
  // Both steps are stable and the merge puts existing rows before equal new ones, which is
  // where one-by-one insertion after equal entries would have put them.
  std::stable_sort(middle, rows_.end(), less);
  std::inplace_merge(rows_.begin(), middle, rows_.end(), less);
}

void CEntryList::Remove(std::size_t row) {
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

void CEntryList::Replace(std::size_t row, CEntry entry) { *rows_[row].entry = std::move(entry); }

void CEntryList::SelectAll(bool selected) {
  for (Row& row : rows_) row.selected = selected;
}

std::vector<std::size_t> CEntryList::SelectedRows() const {
  std::vector<std::size_t> selected;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].selected) selected.push_back(i);
  }
  return selected;
}

std::size_t CEntryList::SelectedCount() const {
  return static_cast<std::size_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const Row& row) { return row.selected; }));
}

std::optional<std::size_t> CEntryList::FindDuplicate(const CEntry& entry) const {
  const int id = entry.Text(kPatNum).empty() ? kAppNum : kPatNum;
  const std::string& number = entry.Text(id);
  if (number.empty()) return std::nullopt;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const std::string& other = rows_[i].entry->Text(id);
    if (other.size() == number.size() && CompareNoCase(other, number) == 0) return i;
  }
  return std::nullopt;
}

}  // namespace larkspire
