#include "ui/AddAddressDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

const struct {
  const char* choice;
  const char* label;
} kChoices[] = {
    {"", "As the office's mail mode"},
    {"all", "All changes"},
    {"deadlines", "Only changes that open or close a deadline"},
    {"reminders", "Only reminders"},
    {"digest", "The digest"},
};

}  // namespace

std::string AddressWithChoice(const std::string& address, const std::string& choice) {
  return choice.empty() ? address : address + " (" + choice + ")";
}

CAddAddressDialog::CAddAddressDialog(AppCore& app, QWidget* parent) : QDialog(parent), app_(app) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Add an E-Mail Notification Address"));
  address_ = new QLineEdit(this);
  address_->setObjectName("address");
  address_->setMinimumWidth(300);
  auto* form = new QFormLayout;
  auto* label = new QLabel(tr("&Address:"), this);
  label->setBuddy(address_);
  form->addRow(label, address_);
  choice_ = new QComboBox(this);
  choice_->setObjectName("choice");
  for (const auto& c : kChoices) choice_->addItem(tr(c.label), QString::fromLatin1(c.choice));
  auto* choice_label = new QLabel(tr("&Receives:"), this);
  choice_label->setBuddy(choice_);
  form->addRow(choice_label, choice_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

std::string CAddAddressDialog::Address() const { return FromQt(address_->text()); }

std::string CAddAddressDialog::Choice() const { return FromQt(choice_->currentData().toString()); }

void CAddAddressDialog::accept() {
  // Nothing typed adds nothing; anything typed must be an address.
  const std::string address = Address();
  if (!address.empty()) {
    if (std::optional<std::string> problem = AddressProblem(address)) {
      app_.MessageBox(*problem);
      address_->setFocus();
      return;
    }
  }
  QDialog::accept();
}

}  // namespace larkspire
