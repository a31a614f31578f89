#include "ui/ImportPreviewDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "run/Run.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

// The number the entry is known by, as the Add dialog would take it.
const std::string& NumberOf(const CEntry& entry) {
  for (int id : {kAppNum, kPatNum, kPubNum}) {
    if (!entry.Text(id).empty()) return entry.Text(id);
  }
  return entry.Text(kAppNum);
}

QTreeWidget* NewTable(QWidget* parent, const QStringList& captions) {
  auto* table = new QTreeWidget(parent);
  table->setColumnCount(static_cast<int>(captions.size()));
  table->setHeaderLabels(captions);
  table->setRootIsDecorated(false);
  table->setUniformRowHeights(true);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFocusPolicy(Qt::NoFocus);
  return table;
}

void AddRow(QTreeWidget& table, const std::vector<std::string>& cells) {
  auto* item = new QTreeWidgetItem(&table);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    item->setText(static_cast<int>(i), ToQt(cells[i]));
  }
  item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
}

void FitColumns(QTreeWidget& table) {
  for (int column = 0; column + 1 < table.columnCount(); ++column) {
    table.resizeColumnToContents(column);
  }
}

}  // namespace

std::string CountOfEntries(std::size_t count) {
  return count == 1 ? "1 entry" : std::to_string(count) + " entries";
}

CImportPreviewDialog::CImportPreviewDialog(QWidget* parent, const std::string& file_name,
                                           const CsvImportPreview& preview)
    : QDialog(parent),
      summary_(new QLabel(this)),
      additions_(NewTable(this, {tr("Line"), tr("Reference"), tr("Number")})),
      refusals_(
          NewTable(this, {tr("Line"), tr("Reference"), tr("Number"), tr("Refused because")})) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Import"));
  for (const CsvImportRow& row : preview.additions) {
    AddRow(*additions_,
           {std::to_string(row.line), row.entry.Text(kReference), NumberOf(row.entry)});
  }
  for (const CsvRefusedRow& row : preview.refusals) {
    AddRow(*refusals_, {std::to_string(row.line), row.reference, row.number, row.reason});
  }
  FitColumns(*additions_);
  FitColumns(*refusals_);

  std::string summary = file_name + "\n\n";
  summary += preview.additions.empty() ? "Nothing in this file can be added."
                                       : CountOfEntries(preview.additions.size()) +
                                             " will be added, each with its "
                                             "\"entry added\" notice.";
  if (!preview.refusals.empty()) {
    summary += " " + std::to_string(preview.refusals.size()) +
               (preview.refusals.size() == 1 ? " row is" : " rows are") + " refused.";
  }
  if (preview.restores_fields && !preview.additions.empty()) {
    summary += "\nThe file is the list's own export: each entry comes back with every field.";
  }
  summary_->setTextFormat(Qt::PlainText);
  summary_->setWordWrap(true);
  summary_->setText(ToQt(summary));

  auto* buttons = new QDialogButtonBox(this);
  add_ = buttons->addButton(ToQt("&Add " + CountOfEntries(preview.additions.size())),
                            QDialogButtonBox::AcceptRole);
  add_->setEnabled(!preview.additions.empty());
  add_->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  auto* added_label = new QLabel(tr("To be added:"), this);
  layout->addWidget(added_label);
  layout->addWidget(additions_, 2);
  auto* refused_label = new QLabel(tr("Refused:"), this);
  layout->addWidget(refused_label);
  layout->addWidget(refusals_, 1);
  added_label->setVisible(!preview.additions.empty());
  additions_->setVisible(!preview.additions.empty());
  refused_label->setVisible(!preview.refusals.empty());
  refusals_->setVisible(!preview.refusals.empty());
  layout->addWidget(buttons);
  resize(640, 460);
}

}  // namespace larkspire
