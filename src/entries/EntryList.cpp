#include "entries/EntryList.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "entries/TextOrder.h"

namespace larkspire {
namespace {

// The sort by next deadline: the keys (reversed when asked), then the tie-breaks of every sort.
int CompareKeyed(int64_t key_a, const CEntry& a, int64_t key_b, const CEntry& b, bool reversed) {
  int result = key_a < key_b ? -1 : (key_a > key_b ? 1 : 0);
  if (reversed) result = -result;
  if (result == 0) result = a.CompareField(b, kAppNum);
  if (result == 0) result = a.CompareField(b, kPatNum);
  return result;
}

}  // namespace

int FindSortField(std::string_view key) {
  if (key.size() == std::string_view(kNextDeadlineSortKey).size() &&
      CompareNoCase(key, kNextDeadlineSortKey) == 0) {
    return kSortNextDeadline;
  }
  return FindFieldByKey(key);
}

const char* SortFieldKey(int sort_field) {
  return sort_field == kSortNextDeadline ? kNextDeadlineSortKey : kFields[sort_field].key;
}

SortKeyOfEntry CEntryList::SortKey() const {
  if (sort_field_ != kSortNextDeadline) return {};
  if (sort_key_source_) return sort_key_source_();
  return [](const CEntry&) { return int64_t{0}; };
}

int CEntryList::Compare(const CEntry& a, const CEntry& b, const SortKeyOfEntry& key) const {
  if (!key) return a.SortCompare(b, sort_field_, sort_reversed_);
  return CompareKeyed(key(a), a, key(b), b, sort_reversed_);
}

void CEntryList::SetSort(int field_id, bool reversed) {
  sort_field_ = field_id;
  sort_reversed_ = reversed;
  Sort();
}

void CEntryList::Sort() {
  const SortKeyOfEntry key = SortKey();
  if (!key) {
    std::stable_sort(rows_.begin(), rows_.end(), [this](const Row& a, const Row& b) {
      return a.entry->SortCompare(*b.entry, sort_field_, sort_reversed_) < 0;
    });
    return;
  }
  // Each row's key is read once, not once per comparison.
  std::vector<std::pair<int64_t, Row>> keyed;
  keyed.reserve(rows_.size());
  for (Row& row : rows_) {
    const int64_t k = key(*row.entry);
    keyed.emplace_back(k, std::move(row));
  }
  std::stable_sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
    return CompareKeyed(a.first, *a.second.entry, b.first, *b.second.entry, sort_reversed_) < 0;
  });
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i] = std::move(keyed[i].second);
}

std::size_t CEntryList::Insert(CEntry entry) {
  // After every entry that does not sort after the new one, so equal entries keep their
  // arrival order.
  const SortKeyOfEntry key = SortKey();
  const auto position = std::upper_bound(
      rows_.begin(), rows_.end(), entry,
      [&](const CEntry& e, const Row& row) { return Compare(e, *row.entry, key) < 0; });
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
  // A stable sort of all keeps the existing rows before equal new ones, as the merge does.
  if (sort_field_ == kSortNextDeadline) {
    Sort();
    return;
  }
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
