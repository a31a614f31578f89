// The entry store: rows in display order with their selection, and the sort field and
// direction. The Qt list is a view over it and never owns entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "entries/Entry.h"

namespace larkspire {

// Beside the fields the list sorts by one column that is not a field: the next deadline, which
// the docket above the entries keeps. Its sort "field" follows the field ids, and the SortBy
// setting names it kNextDeadlineSortKey (a program that does not know the name sorts by
// Frequency, as it does for any unknown name).
inline constexpr int kSortNextDeadline = kFieldCount;
inline constexpr const char* kNextDeadlineSortKey = "NextDeadline";
// A field key or kNextDeadlineSortKey (ignoring case) as a sort field; -1 when unknown.
int FindSortField(std::string_view key);
// The SortBy setting's name of a sort field.
const char* SortFieldKey(int sort_field);

// An entry's place in the sort by next deadline: smaller first. The source makes one such key
// for each sort or insertion, so it can read its index of the docket once for all the rows.
using SortKeyOfEntry = std::function<int64_t(const CEntry&)>;
using SortKeySource = std::function<SortKeyOfEntry()>;

class CEntryList {
 public:
  std::size_t Size() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }
  const CEntry& At(std::size_t row) const { return *rows_[row].entry; }
  CEntry& At(std::size_t row) { return *rows_[row].entry; }

  int SortField() const { return sort_field_; }
  bool SortReversed() const { return sort_reversed_; }
  // Sets the order and re-sorts (stable), keeping each row's selection with its entry.
  void SetSort(int field_id, bool reversed);
  void Sort();
  // Where the sort by next deadline takes its keys; without one every entry has the same key
  // (the order is then that of the tie-breaks: AppNum, then PatNum).
  void SetSortKeySource(SortKeySource source) { sort_key_source_ = std::move(source); }

  // Inserts where the current sort puts it (after equal entries); returns the row.
  std::size_t Insert(CEntry entry);
  // Inserts many at once with the result of inserting them one by one in order, in
  // O(n log n) instead of a shift of the rows per entry (loading a large data file).
  void InsertAll(std::vector<CEntry> entries);
  // The same for entries already on the heap: a reader that builds them there never holds a
  // second copy of every record while the rows are made (the data file's peak memory).
  void InsertAll(std::vector<std::unique_ptr<CEntry>> entries);
  void Remove(std::size_t row);
  void Replace(std::size_t row, CEntry entry);
  void Clear() { rows_.clear(); }

  bool IsSelected(std::size_t row) const { return rows_[row].selected; }
  void SetSelected(std::size_t row, bool selected) { rows_[row].selected = selected; }
  void SelectAll(bool selected);
  std::vector<std::size_t> SelectedRows() const;
  std::size_t SelectedCount() const;

  // The row being updated shows state image 8.
  bool IsUpdating(std::size_t row) const { return rows_[row].updating; }
  void SetUpdating(std::size_t row, bool updating) { rows_[row].updating = updating; }

  // The row holding the same patent number, or (when the entry has none) the same
  // application number.
  std::optional<std::size_t> FindDuplicate(const CEntry& entry) const;

 private:
  // Rows hold their entry on the heap so inserting near the top of a long list shifts
  // pointers, not whole records.
  struct Row {
    std::unique_ptr<CEntry> entry;
    bool selected = false;
    bool updating = false;
  };
  // The comparison of the current sort: negative when a sorts before b.
  int Compare(const CEntry& a, const CEntry& b, const SortKeyOfEntry& key) const;
  SortKeyOfEntry SortKey() const;

  std::vector<Row> rows_;
  SortKeySource sort_key_source_;
  int sort_field_ = 0;
  bool sort_reversed_ = false;
};

}  // namespace larkspire
