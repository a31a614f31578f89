#include "ui/EntryListView.h"

#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>

#include "entries/EntryList.h"
#include "run/Settings.h"
#include "ui/EntryListModel.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

// The deadline column's width is kept beside the fields' widths, but only by a window that was
// shown, so a settings file that never met the column (or an unattended run) is left as it was.
constexpr const char* kNextDeadlineWidthName = "ColWidthNextDeadline";
constexpr int kNextDeadlineWidthUnits = 5;

}  // namespace

CEntryListView::CEntryListView(CEntryList& entries, QWidget* parent)
    : QTableView(parent), entries_(entries), model_(new CEntryListModel(entries, this)) {
  setModel(model_);
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setIconSize(QSize(16, 16));
  setContextMenuPolicy(Qt::CustomContextMenu);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  // Fixed row heights let the view lay out ten thousand rows without measuring them.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height() + 4, 18));
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setStretchLastSection(false);
  for (int id = 0; id < kListColumnCount; ++id) setColumnWidth(id, DefaultColumnWidth(id));
  // Logically after the fields, so every stored width keeps its column; shown after App #.
  horizontalHeader()->moveSection(kNextDeadlineColumn, kAppNum + 1);

  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CEntryListView::HeaderClicked);
  horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) {
            QMenu* menu = CreateColumnMenu(this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(horizontalHeader()->mapToGlobal(pos));
          });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { emit CellDoubleClicked(index.column()); });
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    emit ContextMenuRequested(columnAt(pos.x()), viewport()->mapToGlobal(pos));
  });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CEntryListView::CopySelectionToCore);
  redraw_timer_.setSingleShot(true);
  connect(&redraw_timer_, &QTimer::timeout, this, &CEntryListView::RedrawChangedRows);
}

QString CEntryListView::PlaceholderText() {
  return tr(
      "No applications are watched yet.\n\n"
      "Update > All (Shift+F5) imports every application of your customer numbers.\n"
      "Edit > Add... (Insert) adds one application, patent or publication.\n"
      "File > Import... adds the references and numbers of a spreadsheet.");
}

void CEntryListView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  if (model_->rowCount() != 0) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(viewport()->rect().adjusted(24, 24, -24, -24),
                   Qt::AlignCenter | Qt::TextWordWrap, PlaceholderText());
}

int CEntryListView::DefaultColumnWidth(int field_id) const {
  const int w = fontMetrics().horizontalAdvance(QStringLiteral("Last Update"));
  const int units =
      field_id == kNextDeadlineColumn ? kNextDeadlineWidthUnits : kFields[field_id].width_units;
  return (w + 15) * units / 2;
}

void CEntryListView::SetDocket(const CDocket& docket) { model_->SetDocket(&docket); }

void CEntryListView::RestoreColumnWidths(CSettings& settings) {
  chosen_hidden_.clear();
  const QStringList hidden = ToQt(settings.HiddenColumns.Text()).split(',', Qt::SkipEmptyParts);
  for (int id = 0; id < model_->columnCount(); ++id) {
    const CSetting* stored = settings.ColumnWidth(id);
    const int width = stored != nullptr && !stored->Text().empty() ? static_cast<int>(stored->Int())
                                                                   : DefaultColumnWidth(id);
    setColumnHidden(id, width <= 0);
    if (width > 0) setColumnWidth(id, width);
    if (hidden.contains(ColumnCaption(id)) && ShownColumnCount() > 1) {
      chosen_hidden_[id] = width > 0 ? width : DefaultColumnWidth(id);
      setColumnHidden(id, true);
    }
  }
  const std::optional<std::string> stored =
      settings.Backend().Read(kSettingsGroup, kNextDeadlineWidthName);
  const int width = stored && !stored->empty() ? std::atoi(stored->c_str())
                                               : DefaultColumnWidth(kNextDeadlineColumn);
  // The column menu may have hidden it; its width then comes back when it is shown again.
  const auto chosen = chosen_hidden_.find(kNextDeadlineColumn);
  if (chosen != chosen_hidden_.end()) {
    chosen->second = width > 0 ? width : DefaultColumnWidth(kNextDeadlineColumn);
    return;
  }
  setColumnHidden(kNextDeadlineColumn, width <= 0);
  if (width > 0) setColumnWidth(kNextDeadlineColumn, width);
}

void CEntryListView::SaveColumnWidths(CSettings& settings) const {
  QStringList hidden;
  for (int id = 0; id < model_->columnCount(); ++id) {
    const auto chosen = chosen_hidden_.find(id);
    if (chosen != chosen_hidden_.end()) hidden.append(ColumnCaption(id));
    if (CSetting* stored = settings.ColumnWidth(id)) {
      if (chosen != chosen_hidden_.end()) {
        stored->SetInt(chosen->second);
      } else {
        stored->SetInt(isColumnHidden(id) ? 0 : columnWidth(id));
      }
    }
  }
  const auto chosen = chosen_hidden_.find(kNextDeadlineColumn);
  const int width = chosen != chosen_hidden_.end()        ? chosen->second
                    : isColumnHidden(kNextDeadlineColumn) ? 0
                                                          : columnWidth(kNextDeadlineColumn);
  settings.Backend().Write(kSettingsGroup, kNextDeadlineWidthName, std::to_string(width));
  settings.HiddenColumns.Set(FromQt(hidden.join(',')));
}

void CEntryListView::SetColumnShown(int column, bool shown) {
  if (column < 0 || column >= model_->columnCount() || shown != isColumnHidden(column)) return;
  if (!shown) {
    if (ShownColumnCount() <= 1) return;
    chosen_hidden_[column] = columnWidth(column);
    setColumnHidden(column, true);
    return;
  }
  // A column hidden by a stored width of 0 comes back at its default width.
  const auto chosen = chosen_hidden_.find(column);
  const int width = chosen != chosen_hidden_.end() && chosen->second > 0
                        ? chosen->second
                        : DefaultColumnWidth(column);
  if (chosen != chosen_hidden_.end()) chosen_hidden_.erase(chosen);
  setColumnHidden(column, false);
  setColumnWidth(column, width);
}

QMenu* CEntryListView::CreateColumnMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName("columnMenu");
  const bool last_one = ShownColumnCount() <= 1;
  for (int id = 0; id < model_->columnCount(); ++id) {
    QAction* action = menu->addAction(ColumnCaption(id));
    action->setCheckable(true);
    action->setChecked(!isColumnHidden(id));
    action->setEnabled(!(last_one && action->isChecked()));
    connect(action, &QAction::toggled, this, [this, id](bool on) { SetColumnShown(id, on); });
  }
  return menu;
}

void CEntryListView::ShowSortIndicator(int field_id, bool ascending) {
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(field_id,
                                       ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

int CEntryListView::ShownColumnCount() const {
  int shown = 0;
  for (int id = 0; id < model_->columnCount(); ++id) shown += isColumnHidden(id) ? 0 : 1;
  return shown;
}

QString CEntryListView::ColumnCaption(int column) const {
  return model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

int CEntryListView::TopIndex() const {
  const int row = rowAt(0);
  return row < 0 ? 0 : row;
}

void CEntryListView::ScrollToTopIndex(int row) {
  if (row <= 0 || row >= model_->rowCount()) return;
  scrollTo(model_->index(row, 0), QAbstractItemView::PositionAtTop);
}

void CEntryListView::Reload() {
  const int focused = FocusedRow();
  // The reset redraws every row.
  redraw_timer_.stop();
  changed_first_ = changed_last_ = -1;
  model_->Reset();
  ShowCoreSelection();
  if (focused >= 0 && focused < model_->rowCount()) {
    selectionModel()->setCurrentIndex(model_->index(focused, 0), QItemSelectionModel::NoUpdate);
  }
}

void CEntryListView::RedrawRow(int row) {
  if (row < 0) return;
  changed_first_ = changed_first_ < 0 ? row : std::min(changed_first_, row);
  changed_last_ = std::max(changed_last_, row);
  if (redraw_timer_.isActive()) return;
  const qint64 since = since_redraw_.isValid() ? since_redraw_.elapsed() : kRowRedrawMs;
  if (since >= kRowRedrawMs) {
    RedrawChangedRows();
  } else {
    redraw_timer_.start(static_cast<int>(kRowRedrawMs - since));
  }
}

void CEntryListView::RedrawChangedRows() {
  since_redraw_.start();
  const int first = changed_first_;
  const int last = changed_last_;
  changed_first_ = changed_last_ = -1;
  model_->RowsChanged(first, last);
}

int CEntryListView::FocusedRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

const CEntry* CEntryListView::FocusedEntry() const {
  const int row = FocusedRow();
  if (row < 0 || static_cast<std::size_t>(row) >= entries_.Size()) return nullptr;
  return &entries_.At(static_cast<std::size_t>(row));
}

void CEntryListView::FocusEntry(const CEntry* entry) {
  if (entry == nullptr) return;
  // Rows keep their records where they are when the list is sorted, so the address finds it.
  for (std::size_t row = 0; row < entries_.Size(); ++row) {
    if (&entries_.At(row) != entry) continue;
    const QModelIndex index =
        model_->index(static_cast<int>(row), std::max(currentIndex().column(), 0));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
    return;
  }
}

void CEntryListView::CopySelectionToCore(const QItemSelection& selected,
                                         const QItemSelection& deselected) {
  if (showing_core_selection_) return;
  const auto apply = [this](const QItemSelection& ranges, bool value) {
    for (const QItemSelectionRange& range : ranges) {
      for (int row = range.top(); row <= range.bottom(); ++row) {
        if (static_cast<std::size_t>(row) < entries_.Size()) {
          entries_.SetSelected(static_cast<std::size_t>(row), value);
        }
      }
    }
  };
  apply(deselected, false);
  apply(selected, true);
  emit SelectionEdited();
}

void CEntryListView::ShowCoreSelection() {
  // Runs of selected rows become one range each, so selecting every one of many rows is one
  // range rather than thousands.
  QItemSelection selection;
  const int rows = static_cast<int>(entries_.Size());
  for (int row = 0; row < rows;) {
    if (!entries_.IsSelected(static_cast<std::size_t>(row))) {
      ++row;
      continue;
    }
    int last = row;
    while (last + 1 < rows && entries_.IsSelected(static_cast<std::size_t>(last + 1))) ++last;
    selection.select(model_->index(row, 0), model_->index(last, kListColumnCount - 1));
    row = last + 1;
  }
  showing_core_selection_ = true;
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  showing_core_selection_ = false;
}

}  // namespace larkspire
