#include "ui/AddReferenceDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "entries/Entry.h"
#include "entries/EntryList.h"
#include "entries/Identifier.h"
#include "notify/EntryCommands.h"
#include "rules/Dates.h"
#include "ui/QtText.h"

namespace larkspire {

CAddReferenceDialog::CAddReferenceDialog(QWidget* parent, AppCore& core, CEntry& entry,
                                         std::function<void(std::size_t row)> show_listed)
    : QDialog(parent),
      core_(core),
      entry_(entry),
      show_listed_(std::move(show_listed)),
      reference_(new QLineEdit(this)),
      number_(new QLineEdit(this)) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Add Reference"));
  reference_->setObjectName("reference");
  number_->setObjectName("number");
  reference_->setText(ToQt(entry.Text(kReference)));
  auto* form = new QFormLayout;
  auto* reference_label = new QLabel(tr("&Reference"), this);
  reference_label->setBuddy(reference_);
  auto* number_label = new QLabel(tr("Application/Pat/Pub &Number"), this);
  number_label->setBuddy(number_);
  form->addRow(reference_label, reference_);
  form->addRow(number_label, number_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  number_->setMinimumWidth(220);
}

void CAddReferenceDialog::accept() {
  entry_.SetText(kReference, FromQt(reference_->text()));
  if (std::optional<std::string> error = SetIdentifier(entry_, FromQt(number_->text()))) {
    core_.MessageBox(*error, MsgButtons::kOk, MsgAnswer::kOk, "", std::nullopt, MsgIcon::kWarning);
    number_->setFocus();
    return;
  }
  if (std::optional<std::size_t> row = core_.Entries().FindDuplicate(entry_)) {
    if (show_listed_) show_listed_(*row);
    core_.MessageBox(DuplicateEntryMessage(core_.Entries().At(*row)), MsgButtons::kOk,
                     MsgAnswer::kOk, "Duplicate Entry", std::nullopt, MsgIcon::kWarning);
    number_->setFocus();
    return;
  }
  QDialog::accept();
}

void CAddReferenceDialog::reject() {
  entry_.SetText(kError, kAddCanceled);
  QDialog::reject();
}

}  // namespace larkspire
