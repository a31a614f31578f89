// The entry list as a table model: one row per entry in list order, one column per field. It
// reads the core's list and never owns an entry; whoever changes the list tells it.
#pragma once

#include <QAbstractTableModel>
#include <optional>

#include "ui/StateImages.h"

namespace larkspire {

class CEntryList;

class CEntryListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  CEntryListModel(CEntryList& entries, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // Display: the field's display form. Decoration (first column): the row's state image, and
  // its meaning as the tooltip.
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // After rows were added, removed or reordered.
  void Reset();
  // After the records of rows first to last changed in place.
  void RowsChanged(int first, int last);

 private:
  CEntryList& entries_;
  // Drawn when a view first shows a row, so a window nobody sees draws none.
  mutable std::optional<CStateImages> images_;
};

}  // namespace larkspire
