#include "ui/ConfigureDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "app/Help.h"
#include "notify/EmailQueue.h"
#include "run/SecretSettings.h"
#include "ui/AddAddressDialog.h"
#include "ui/AdvancedDialog.h"
#include "ui/DirectoryChooser.h"
#include "ui/QtText.h"
#include "ui/StatusSourceBox.h"

namespace larkspire {
namespace {

constexpr const char* kPendingMessage =
    "There is pending e-mail to send. You will not be able to change the logging directory "
    "until you send or delete the e-mail.";

}  // namespace

CConfigureDialog::CConfigureDialog(AppCore& app, QWidget* parent)
    : QDialog(parent), app_(app), copy_(ReadConfiguration(app)) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Configure"));
  auto* grid = new QGridLayout;
  int row = 0;
  auto add_row = [&](const QString& label, QWidget* field, QWidget* extra = nullptr) {
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    grid->addWidget(caption, row, 0);
    grid->addWidget(field, row, 1, 1, extra ? 1 : 2);
    if (extra) grid->addWidget(extra, row, 2);
    ++row;
  };
  auto line = [&](const char* name, const std::string& text) {
    auto* field = new QLineEdit(ToQt(text), this);
    field->setObjectName(name);
    field->setMinimumWidth(320);
    return field;
  };

  // Every mnemonic of the dialog differs from the others: a letter used twice only cycles the
  // focus, and typing then replaces the wrong field.
  org_name_ = line("orgName", copy_.org_name);
  smtp_server_ = line("smtpServer", copy_.smtp_server);
  return_address_ = line("returnAddress", copy_.return_address);
  add_row(tr("&Organization Name:"), org_name_);
  add_row(tr("S&MTP Server:"), smtp_server_);
  add_row(tr("&Return Address:"), return_address_);

  addresses_ = new QComboBox(this);
  addresses_->setObjectName("notifyAddresses");
  // Each item shows its address with its choice and keeps both.
  for (std::size_t i = 0; i < copy_.notify_addresses.size(); ++i) {
    AddAddressItem(copy_.notify_addresses[i], copy_.notify_choices[i]);
  }
  addresses_->setCurrentIndex(addresses_->count() > 0 ? 0 : -1);
  add_ = new QPushButton(tr("&Add..."), this);
  add_->setObjectName("addAddress");
  delete_ = new QPushButton(tr("&Delete"), this);
  delete_->setObjectName("deleteAddress");
  auto* address_buttons = new QWidget(this);
  auto* address_buttons_layout = new QHBoxLayout(address_buttons);
  address_buttons_layout->setContentsMargins(0, 0, 0, 0);
  address_buttons_layout->addWidget(add_);
  address_buttons_layout->addWidget(delete_);
  add_row(tr("&E-Mail Notification Addresses:"), addresses_, address_buttons);

  advanced_ = new QPushButton(tr("Ad&vanced HTTP and SMTP Settings..."), this);
  advanced_->setObjectName("advanced");
  grid->addWidget(advanced_, row++, 1, 1, 2, Qt::AlignLeft);

  // A folder field and its Browse button; the buttons carry no mnemonic (the field's label
  // has it, and Tab goes from the field to its button).
  auto folder_row = [&](const QString& label, const char* name, const std::string& text,
                        const char* browse_name, const QString& title) {
    QLineEdit* field = line(name, text);
    auto* browse = new QPushButton(tr("Browse..."), this);
    browse->setObjectName(browse_name);
    browse->setAccessibleName(title);
    connect(browse, &QPushButton::clicked, this, [this, field, title] {
      const QString chosen = ChooseDirectory(this, title, field->text());
      if (!chosen.isEmpty()) field->setText(ToQt(QFile::encodeName(chosen).toStdString()));
    });
    add_row(label, field, browse);
    return field;
  };
  shortcut_folder_ = folder_row(tr("Short&cut Folder:"), "shortcutFolder", copy_.shortcut_folder,
                                "browseShortcutFolder", tr("Shortcut Folder"));
  app_dir_ = folder_row(tr("Appl&ication Directory:"), "appDir", copy_.app_dir, "browseAppDir",
                        tr("Application Directory"));
  log_dir_ = folder_row(tr("&Logging Directory:"), "logDir", copy_.log_dir, "browseLogDir",
                        tr("Logging Directory"));
  report_dir_ = folder_row(tr("&HTML Report Directory:"), "reportDir", copy_.report_dir,
                           "browseReportDir", tr("HTML Report Directory"));

  // Made before the buttons, so Tab reaches the group where it is seen: above them.
  status_source_ = new CStatusSourceBox(app_, copy_, this);

  // Enter and Esc are their keys; their own letters would take two of the fields'.
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
  QPushButton* help = buttons->addButton(tr("HELP"), QDialogButtonBox::HelpRole);
  help->setObjectName("help");

  connect(add_, &QPushButton::clicked, this, &CConfigureDialog::AddAddress);
  connect(delete_, &QPushButton::clicked, this, &CConfigureDialog::DeleteAddress);
  connect(advanced_, &QPushButton::clicked, this, &CConfigureDialog::OpenAdvanced);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelp(app_, "config"); });

  // Where OK will keep the password and the key.
  auto* keyring_note = new QLabel(ToQt(SecretPlaceNote(app_)), this);
  keyring_note->setObjectName("keyringNote");
  keyring_note->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(status_source_);
  layout->addWidget(keyring_note);
  layout->addWidget(buttons);

  if (EmailPending(app_)) {
    app_.MessageBox(kPendingMessage);
    log_dir_->setEnabled(false);
  }
}

void CConfigureDialog::AddAddress() {
  CAddAddressDialog dialog(app_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::string address = dialog.Address();
  if (address.empty()) return;
  AddAddressItem(address, dialog.Choice());
  addresses_->setCurrentIndex(addresses_->count() - 1);
}

void CConfigureDialog::AddAddressItem(const std::string& address, const std::string& choice) {
  addresses_->addItem(ToQt(AddressWithChoice(address, choice)),
                      QStringList{ToQt(address), ToQt(choice)});
}

std::string CConfigureDialog::AddressAt(int index, int part) const {
  return FromQt(addresses_->itemData(index).toStringList().value(part));
}

void CConfigureDialog::SelectFirstBadAddressOrAdd() {
  for (int i = 0; i < addresses_->count(); ++i) {
    if (AddressProblem(AddressAt(i, 0))) {
      addresses_->setCurrentIndex(i);
      return;
    }
  }
  AddAddress();
}

void CConfigureDialog::DeleteAddress() {
  const int index = addresses_->currentIndex();
  if (index < 0) return;
  if (app_.MessageBox("Are you sure that you want to delete this entry?", MsgButtons::kYesNo,
                      MsgAnswer::kYes) != MsgAnswer::kYes) {
    return;
  }
  addresses_->removeItem(index);
  addresses_->setCurrentIndex(std::min(index, addresses_->count() - 1));
}

void CConfigureDialog::OpenAdvanced() {
  // The advanced dialog's warning names the SMTP server as it is typed now.
  copy_ = Collect();
  CAdvancedDialog dialog(app_, copy_, this);
  // The proxy is also shown in the status-source group; both show the one setting.
  if (dialog.exec() == QDialog::Accepted) status_source_->ShowProxy(copy_.proxy_server);
}

CConfiguration CConfigureDialog::Collect() const {
  CConfiguration c = copy_;
  c.org_name = FromQt(org_name_->text());
  c.smtp_server = FromQt(smtp_server_->text());
  c.return_address = FromQt(return_address_->text());
  c.notify_addresses.clear();
  c.notify_choices.clear();
  for (int i = 0; i < addresses_->count(); ++i) {
    c.notify_addresses.push_back(AddressAt(i, 0));
    c.notify_choices.push_back(AddressAt(i, 1));
  }
  c.shortcut_folder = FromQt(shortcut_folder_->text());
  c.app_dir = FromQt(app_dir_->text());
  c.log_dir = FromQt(log_dir_->text());
  c.report_dir = FromQt(report_dir_->text());
  status_source_->Collect(c);
  return c;
}

QWidget* CConfigureDialog::FieldWidget(ConfigField field) const {
  switch (field) {
    case ConfigField::kOrgName:
      return org_name_;
    case ConfigField::kSmtpServer:
      return smtp_server_;
    case ConfigField::kReturnAddress:
      return return_address_;
    case ConfigField::kNotifyAddresses:
      return addresses_;
    case ConfigField::kAdvanced:
      return advanced_;
    case ConfigField::kShortcutFolder:
      return shortcut_folder_;
    case ConfigField::kAppDir:
      return app_dir_;
    case ConfigField::kLogDir:
      return log_dir_;
    case ConfigField::kReportDir:
      return report_dir_;
    case ConfigField::kOdpKey:
    case ConfigField::kOdpCustomerNumbers:
      return status_source_->FieldWidget(field);
  }
  return org_name_;
}

void CConfigureDialog::accept() {
  const CConfiguration config = Collect();
  if (std::optional<ConfigField> failed = CheckConfiguration(app_, config)) {
    FieldWidget(*failed)->setFocus();
    if (*failed == ConfigField::kNotifyAddresses) SelectFirstBadAddressOrAdd();
    if (*failed == ConfigField::kAdvanced) OpenAdvanced();
    return;
  }
  StoreConfiguration(app_, config);
  QDialog::accept();
}

}  // namespace larkspire
