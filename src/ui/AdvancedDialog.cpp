#include "ui/AdvancedDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "app/Help.h"
#include "net/MailSecurity.h"
#include "net/PasswordScramble.h"
#include "ui/QtText.h"

namespace larkspire {
namespace {

QLineEdit* AddField(QFormLayout* form, QWidget* parent, const QString& label, const char* name,
                    const std::string& text) {
  auto* field = new QLineEdit(ToQt(text), parent);
  field->setObjectName(name);
  auto* caption = new QLabel(label, parent);
  caption->setBuddy(field);
  form->addRow(caption, field);
  return field;
}

// A choice whose items carry the stored texts, with the stored one selected.
QComboBox* AddChoice(QFormLayout* form, QWidget* parent, const QString& label, const char* name,
                     const std::vector<std::pair<QString, const char*>>& items,
                     const char* current) {
  auto* choice = new QComboBox(parent);
  choice->setObjectName(name);
  for (const auto& [text, stored] : items) choice->addItem(text, QString(stored));
  choice->setCurrentIndex(choice->findData(QString(current)));
  auto* caption = new QLabel(label, parent);
  caption->setBuddy(choice);
  form->addRow(caption, choice);
  return choice;
}

std::string StoredText(const QComboBox* choice) { return FromQt(choice->currentData().toString()); }

}  // namespace

CAdvancedDialog::CAdvancedDialog(AppCore& app, CConfiguration& copy, QWidget* parent)
    : QDialog(parent), app_(app), copy_(copy) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Configure (Advanced)"));

  auto* proxy_group = new QGroupBox(tr("HTTP Proxy"), this);
  auto* proxy_form = new QFormLayout(proxy_group);
  proxy_ = AddField(proxy_form, proxy_group, tr("&Server:"), "proxyServer", copy.proxy_server);
  proxy_->setMinimumWidth(260);

  auto* security_group = new QGroupBox(tr("SMTP Security"), this);
  auto* security_form = new QFormLayout(security_group);
  security_ = AddChoice(
      security_form, security_group, tr("S&ecurity:"), "smtpSecurity",
      {{tr("STARTTLS (port 587 unless the server names one)"), kSecurityStartTlsText},
       {tr("TLS from the start (port 465 unless the server names one)"), kSecurityTlsText},
       {tr("None: plain text (port 25 unless the server names one)"), kSecurityNoneText}},
      MailSecurityText(copy.smtp_security));
  ca_file_ = new QLineEdit(ToQt(copy.ca_file), security_group);
  ca_file_->setObjectName("caFile");
  ca_file_->setPlaceholderText(tr("the system's certificates only"));
  auto* browse = new QPushButton(tr("&Browse..."), security_group);
  browse->setObjectName("browseCaFile");
  auto* ca_row = new QHBoxLayout;
  ca_row->addWidget(ca_file_);
  ca_row->addWidget(browse);
  auto* ca_caption = new QLabel(tr("Office &CA file:"), security_group);
  ca_caption->setBuddy(ca_file_);
  security_form->addRow(ca_caption, ca_row);

  auto* smtp_group = new QGroupBox(tr("SMTP Authentication"), this);
  auto* smtp_form = new QFormLayout(smtp_group);
  auth_ = AddChoice(smtp_form, smtp_group, tr("Sign &in with:"), "smtpAuth",
                    {{tr("Password"), kAuthPasswordText},
                     {tr("Token command (OAuth 2, XOAUTH2)"), kAuthTokenText}},
                    MailAuthText(copy.smtp_auth));
  user_ = AddField(smtp_form, smtp_group, tr("&User Name:"), "userName", copy.user_name);
  password_ = AddField(smtp_form, smtp_group, tr("&Password:"), "password",
                       UnscramblePassword(copy.password));
  password_->setEchoMode(QLineEdit::Password);
  token_command_ =
      AddField(smtp_form, smtp_group, tr("&Token command:"), "tokenCommand", copy.token_command);
  token_command_->setPlaceholderText(tr("a program and its arguments; it prints the token"));

  warning_ = new QLabel(this);
  warning_->setObjectName("unencryptedWarning");
  warning_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* help = buttons->addButton(tr("HELP"), QDialogButtonBox::HelpRole);
  help->setObjectName("help");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelp(app_, "configa"); });
  connect(browse, &QPushButton::clicked, this, &CAdvancedDialog::BrowseCaFile);
  connect(security_, &QComboBox::currentIndexChanged, this, &CAdvancedDialog::UpdateSmtpFields);
  connect(auth_, &QComboBox::currentIndexChanged, this, &CAdvancedDialog::UpdateSmtpFields);
  connect(user_, &QLineEdit::textChanged, this, &CAdvancedDialog::UpdateSmtpFields);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(proxy_group);
  layout->addWidget(security_group);
  layout->addWidget(smtp_group);
  layout->addWidget(warning_);
  layout->addWidget(buttons);
  UpdateSmtpFields();
}

void CAdvancedDialog::BrowseCaFile() {
  const QString path =
      QFileDialog::getOpenFileName(this, tr("Office CA file"), ca_file_->text(),
                                   tr("PEM certificates (*.pem *.crt);;All files (*)"));
  // The file name's own bytes, shown the way every text crosses into Qt.
  if (!path.isEmpty()) ca_file_->setText(ToQt(QFile::encodeName(path).toStdString()));
}

void CAdvancedDialog::UpdateSmtpFields() {
  const bool token = ParseMailAuth(StoredText(auth_)) == MailAuth::kToken;
  password_->setEnabled(!token);
  token_command_->setEnabled(token);
  const std::string warning = UnencryptedPasswordWarning(ParseMailSecurity(StoredText(security_)),
                                                         FromQt(user_->text()), copy_.smtp_server);
  warning_->setText(ToQt(warning));
  warning_->setVisible(!warning.empty());
}

void CAdvancedDialog::accept() {
  copy_.proxy_server = FromQt(proxy_->text());
  copy_.smtp_security = ParseMailSecurity(StoredText(security_));
  copy_.ca_file = FromQt(ca_file_->text());
  copy_.smtp_auth = ParseMailAuth(StoredText(auth_));
  copy_.user_name = FromQt(user_->text());
  copy_.password = ScramblePassword(FromQt(password_->text()));
  copy_.token_command = FromQt(token_command_->text());
  QDialog::accept();
}

}  // namespace larkspire
