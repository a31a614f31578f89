// The entry store: rows in display order with their selection, and the sort field and
// direction. The Qt list is a view over it and never owns entries.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "entries/Entry.h"

namespace larkspire {

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
  std::vector<Row> rows_;
  int sort_field_ = 0;
  bool sort_reversed_ = false;
};

}  // namespace larkspire
