#include "ui/EntryListModel.h"

#include <algorithm>

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
      if (!images_) images_.emplace();
      return images_->Icon(entries_.IsUpdating(row) ? kStateImageUpdating : entry.StateImage());
    case Qt::ToolTipRole:
      if (index.column() != 0) return {};
      return StateImageMeaning(entries_.IsUpdating(row) ? kStateImageUpdating : entry.StateImage());
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

void CEntryListModel::RowsChanged(int first, int last) {
  last = std::min(last, rowCount() - 1);
  if (first < 0 || first > last) return;
  emit dataChanged(index(first, 0), index(last, kFieldCount - 1));
}

}  // namespace larkspire
