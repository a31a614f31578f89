#include "ui/EntryListModel.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

#include "rules/Dates.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

// Pale enough that the text, drawn in black on them, stays readable in any theme.
const QColor kWithin7DaysBackground(255, 205, 205);
const QColor kWithin30DaysBackground(255, 236, 179);

QString NextDeadlineText(const CNextDeadline& next) {
  return ToQt(FormatDayNumber(next.due) + " " + next.what);
}

}  // namespace

CEntryListModel::CEntryListModel(CEntryList& entries, QObject* parent)
    : QAbstractTableModel(parent), entries_(entries) {}

int CEntryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.Size());
}

int CEntryListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kListColumnCount;
}

void CEntryListModel::SetDocket(const CDocket* docket) {
  docket_ = docket;
  Reset();
}

const CNextDeadline* CEntryListModel::NextDeadline(const CEntry& entry) const {
  if (docket_ == nullptr) return nullptr;
  if (!next_deadlines_) next_deadlines_.emplace(*docket_);
  return next_deadlines_->Find(entry.Identifier());
}

QVariant CEntryListModel::DeadlineData(const CEntry& entry, int column, int role) const {
  const CNextDeadline* next = NextDeadline(entry);
  if (next == nullptr) return {};
  if (role == Qt::DisplayRole) return NextDeadlineText(*next);
  const DeadlineNearness nearness = NearnessOf(next->due, TodayDayNumber());
  if (nearness == DeadlineNearness::kLater) {
    // The column's own text may be cut off; the rest of an unmarked row says nothing of it.
    if (role != Qt::ToolTipRole || column != kNextDeadlineColumn) return {};
    return NextDeadlineText(*next);
  }
  const bool near = nearness == DeadlineNearness::kWithin7Days;
  switch (role) {
    case Qt::BackgroundRole:
      return QBrush(near ? kWithin7DaysBackground : kWithin30DaysBackground);
    case Qt::ForegroundRole:
      return QBrush(Qt::black);
    case Qt::ToolTipRole:
      return (near ? tr("Next deadline within %1 days (or past): %2")
                   : tr("Next deadline within %1 days: %2"))
          .arg(near ? kNearDays : kSoonDays)
          .arg(NextDeadlineText(*next));
    default:
      return {};
  }
}

QVariant CEntryListModel::data(const QModelIndex& index, int role) const {
  // A view may still ask for a row the list has just dropped, before it hears of the change.
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= entries_.Size()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  const CEntry& entry = entries_.At(row);
  switch (role) {
    case Qt::DisplayRole:
      if (index.column() == kNextDeadlineColumn) return DeadlineData(entry, index.column(), role);
      return ToQt(entry.GetText(index.column()));
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
      return DeadlineData(entry, index.column(), role);
    case Qt::DecorationRole:
      if (index.column() != 0) return {};
      if (!images_) images_.emplace();
      return images_->Icon(entries_.IsUpdating(row) ? kStateImageUpdating : entry.StateImage());
    case Qt::ToolTipRole:
      // The first column explains its picture; the others why the row is marked, if it is.
      if (index.column() != 0) return DeadlineData(entry, index.column(), role);
      return StateImageMeaning(entries_.IsUpdating(row) ? kStateImageUpdating : entry.StateImage());
    default:
      return {};
  }
}

QVariant CEntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section == kNextDeadlineColumn) return tr("Next Deadline");
  if (section < 0 || section >= kFieldCount) return {};
  return ToQt(kFields[section].column_caption);
}

void CEntryListModel::Reset() {
  next_deadlines_.reset();
  beginResetModel();
  endResetModel();
}

void CEntryListModel::RowsChanged(int first, int last) {
  last = std::min(last, rowCount() - 1);
  if (first < 0 || first > last) return;
  next_deadlines_.reset();
  emit dataChanged(index(first, 0), index(last, kListColumnCount - 1));
}

}  // namespace larkspire
