#include "ui/AddAddressDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "ui/QtText.h"

namespace larkspire {

CAddAddressDialog::CAddAddressDialog(AppCore& app, QWidget* parent) : QDialog(parent), app_(app) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Add an E-Mail Notification Address"));
  address_ = new QLineEdit(this);
  address_->setObjectName("address");
  address_->setMinimumWidth(300);
  auto* form = new QFormLayout;
  auto* label = new QLabel(tr("&Address:"), this);
  label->setBuddy(address_);
  form->addRow(label, address_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

std::string CAddAddressDialog::Address() const { return FromQt(address_->text()); }

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
