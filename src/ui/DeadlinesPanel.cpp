#include "ui/DeadlinesPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <unordered_set>

#include "docket/Docket.h"
#include "rules/Dates.h"
#include "run/Run.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

// A selection of thousands of entries lists this many deadlines, earliest first.
constexpr std::size_t kRowLimit = 1000;

std::string DateText(int32_t day) { return day == 0 ? std::string() : FormatDayNumber(day); }

}  // namespace

std::string DeadlineStateText(const CDeadline& deadline) {
  if (deadline.closed_on != 0) {
    std::string text = "Closed";
    if (!deadline.closing_event.empty()) text += ": " + deadline.closing_event;
    return text + " on " + FormatDayNumber(deadline.closed_on);
  }
  return deadline.done ? "Done" : "Open";
}

CDeadlinesPanel::CDeadlinesPanel(CRun& run, QWidget* parent)
    : QWidget(parent),
      run_(run),
      title_(new QLabel(tr("Deadlines (an aid: the office action itself governs)"), this)),
      table_(new QTableWidget(0, kDeadlineColumnCount, this)),
      done_button_(new QPushButton(tr("&Mark Done"), this)),
      undo_button_(new QPushButton(tr("&Undo Done"), this)) {
  table_->setObjectName("deadlinesTable");
  done_button_->setObjectName("markDone");
  undo_button_->setObjectName("undoDone");
  table_->setHorizontalHeaderLabels({tr("Reference"), tr("What Is Due"), tr("Opened By"),
                                     tr("Computed"), tr("Due"), tr("Last Date"), tr("State")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);
  table_->horizontalHeaderItem(kDeadlineLastDate)
      ->setToolTip(tr("The last date with extensions of time"));
  table_->horizontalHeaderItem(kDeadlineComputed)
      ->setToolTip(tr("The period counted from the event, before a weekend or holiday moved it"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(done_button_);
  buttons->addWidget(undo_button_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(title_);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);

  connect(done_button_, &QPushButton::clicked, this, [this] { SetCurrentDone(true); });
  connect(undo_button_, &QPushButton::clicked, this, [this] { SetCurrentDone(false); });
  connect(table_, &QTableWidget::currentCellChanged, this, &CDeadlinesPanel::UpdateButtons);
  connect(table_, &QWidget::customContextMenuRequested, this, &CDeadlinesPanel::ShowContextMenu);
  hide();
}

void CDeadlinesPanel::Refresh() {
  const std::string current =
      table_->currentRow() >= 0 && static_cast<std::size_t>(table_->currentRow()) < uids_.size()
          ? uids_[static_cast<std::size_t>(table_->currentRow())]
          : std::string();
  const CEntryList& entries = run_.Entries();
  std::unordered_set<std::string> selected;
  for (std::size_t row : entries.SelectedRows()) selected.insert(entries.At(row).Identifier());
  std::vector<const CDeadline*> shown;
  if (!selected.empty()) {
    for (const CDeadline& deadline : run_.Docket().All()) {
      if (selected.count(deadline.entry_key) != 0) shown.push_back(&deadline);
    }
  }
  std::stable_sort(shown.begin(), shown.end(),
                   [](const CDeadline* a, const CDeadline* b) { return a->due < b->due; });
  if (shown.size() > kRowLimit) shown.resize(kRowLimit);

  uids_.clear();
  table_->setRowCount(static_cast<int>(shown.size()));
  int current_row = -1;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const CDeadline& d = *shown[i];
    const int row = static_cast<int>(i);
    std::string opened_by = d.opening_event.empty() ? std::string() : d.opening_event + ", ";
    opened_by += DateText(d.opened_on);
    const std::string cells[kDeadlineColumnCount] = {
        d.reference,         d.what,
        opened_by,           DateText(d.computed_due),
        DateText(d.due),     d.extendable ? DateText(d.last_date) : "not extendable",
        DeadlineStateText(d)};
    for (int column = 0; column < kDeadlineColumnCount; ++column) {
      auto* item = new QTableWidgetItem(ToQt(cells[column]));
      item->setToolTip(ToQt(cells[column]));
      table_->setItem(row, column, item);
    }
    uids_.push_back(d.Uid());
    if (uids_.back() == current) current_row = row;
  }
  table_->resizeColumnsToContents();
  if (current_row >= 0) table_->setCurrentCell(current_row, 0);
  setVisible(!shown.empty());
  UpdateButtons();
}

void CDeadlinesPanel::SetCurrentDone(bool done) {
  const int row = table_->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= uids_.size()) return;
  const std::string uid = uids_[static_cast<std::size_t>(row)];
  if (run_.DocketReadOnly() || !run_.Docket().SetDone(uid, done)) return;
  // A mark that cannot be saved is taken back: the list shows what the file holds.
  if (!run_.SaveDocketNow()) run_.Docket().SetDone(uid, !done);
  emit DocketChanged();
}

void CDeadlinesPanel::UpdateButtons() {
  const int row = table_->currentRow();
  const CDeadline* deadline = row >= 0 && static_cast<std::size_t>(row) < uids_.size()
                                  ? run_.Docket().Find(uids_[static_cast<std::size_t>(row)])
                                  : nullptr;
  const bool writable = !run_.DocketReadOnly();
  done_button_->setEnabled(writable && deadline != nullptr && deadline->IsOpen());
  undo_button_->setEnabled(writable && deadline != nullptr && deadline->done);
  const QString why = writable
                          ? QString()
                          : tr("The docket file could not be read; it is not changed in this run.");
  done_button_->setToolTip(why);
  undo_button_->setToolTip(why);
}

void CDeadlinesPanel::ShowContextMenu(const QPoint& pos) {
  if (table_->rowAt(pos.y()) < 0) return;
  table_->setCurrentCell(table_->rowAt(pos.y()), 0);
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (QPushButton* button : {done_button_, undo_button_}) {
    QAction* action = menu->addAction(button->text());
    action->setEnabled(button->isEnabled());
    connect(action, &QAction::triggered, button, &QPushButton::click);
  }
  menu->popup(table_->viewport()->mapToGlobal(pos));
}

}  // namespace larkspire
