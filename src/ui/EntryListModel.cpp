#include "ui/EntryListModel.h"

#include "entries/EntryList.h"
#include "ui/QtText.h"

namespace larkspire {

CEntryListModel::CEntryListModel(CEntryList& entries, QObject* parent)
    : QAbstractTableModel(parent), entries_(entries) {}

int CEntryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.Size());
}

int CEntryListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kFieldCount;
}

QVariant CEntryListModel::data(const QModelIndex& index, int role) const {
  // A view may still ask for a row the list has just dropped, before it hears of the change.
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= entries_.Size()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  const CEntry& entry = entries_.At(row);
  switch (role) {
    case Qt::DisplayRole:
      return ToQt(entry.GetText(index.column()));
    case Qt::DecorationRole:
      if (index.column() != 0) return {};
      return images_.Icon(entries_.IsUpdating(row) ? kStateImageUpdating : entry.StateImage());
    default:
      return {};
  }
}

QVariant CEntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= kFieldCount) return {};
  return ToQt(kFields[section].column_caption);
}

void CEntryListModel::Reset() {
  beginResetModel();
  endResetModel();
}

void CEntryListModel::RowChanged(int row) {
  if (row < 0 || row >= rowCount()) return;
  emit dataChanged(index(row, 0), index(row, kFieldCount - 1));
}

}  // namespace larkspire
