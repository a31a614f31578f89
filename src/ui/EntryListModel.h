// The entry list as a table model: one row per entry in list order, one column per field and
// the next deadline's column after them. It reads the core's list and the docket and never owns
// an entry; whoever changes either tells it.
#pragma once

#include <QAbstractTableModel>
#include <optional>

#include "entries/EntryList.h"
#include "ui/NextDeadlines.h"
#include "ui/StateImages.h"

namespace larkspire {

class CDocket;

// The column of the next open deadline ("2027-03-15 Reply to non-final rejection"); it sorts as
// the list's sort by next deadline.
inline constexpr int kNextDeadlineColumn = kSortNextDeadline;
inline constexpr int kListColumnCount = kFieldCount + 1;

class CEntryListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  CEntryListModel(CEntryList& entries, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // The docket whose deadlines the last column shows (none: the column stays empty).
  void SetDocket(const CDocket* docket);

  // Display: the field's display form. Decoration (first column): the row's state image, and
  // its meaning as the tooltip. Background, foreground and tool tip of the other cells: the
  // marking of a row whose next deadline is near.
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // After rows were added, removed or reordered.
  void Reset();
  // After the records of rows first to last changed in place (their deadlines too).
  void RowsChanged(int first, int last);

 private:
  const CNextDeadline* NextDeadline(const CEntry& entry) const;
  QVariant DeadlineData(const CEntry& entry, int column, int role) const;

  CEntryList& entries_;
  const CDocket* docket_ = nullptr;
  // Made when a row is first drawn after a change, not at every change of a run.
  mutable std::optional<CNextDeadlines> next_deadlines_;
  // Drawn when a view first shows a row, so a window nobody sees draws none.
  mutable std::optional<CStateImages> images_;
};

}  // namespace larkspire
