#include "ui/AdvancedDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "app/Help.h"
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

}  // namespace

CAdvancedDialog::CAdvancedDialog(AppCore& app, CConfiguration& copy, QWidget* parent)
    : QDialog(parent), app_(app), copy_(copy) {
  setWindowTitle(ToQt(std::string(kCaption) + " - Configure (Advanced)"));

  auto* proxy_group = new QGroupBox(tr("HTTP Proxy"), this);
  auto* proxy_form = new QFormLayout(proxy_group);
  proxy_ = AddField(proxy_form, proxy_group, tr("&Server:"), "proxyServer", copy.proxy_server);
  proxy_->setMinimumWidth(260);

  auto* smtp_group = new QGroupBox(tr("SMTP Authentication"), this);
  auto* smtp_form = new QFormLayout(smtp_group);
  user_ = AddField(smtp_form, smtp_group, tr("&User Name:"), "userName", copy.user_name);
  password_ = AddField(smtp_form, smtp_group, tr("&Password:"), "password",
                       UnscramblePassword(copy.password));
  password_->setEchoMode(QLineEdit::Password);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* help = buttons->addButton(tr("HELP"), QDialogButtonBox::HelpRole);
  help->setObjectName("help");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { ShowHelp(app_, "configa"); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(proxy_group);
  layout->addWidget(smtp_group);
  layout->addWidget(buttons);
}

void CAdvancedDialog::accept() {
  copy_.proxy_server = FromQt(proxy_->text());
  copy_.user_name = FromQt(user_->text());
  copy_.password = ScramblePassword(FromQt(password_->text()));
  QDialog::accept();
}

}  // namespace larkspire
