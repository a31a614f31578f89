#include "ui/StatusSourceBox.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "app/AppCore.h"
#include "app/Configuration.h"
#include "net/PasswordScramble.h"
#include "retrieval/OdpKeyCheck.h"
#include "retrieval/OdpSettings.h"
#include "ui/QtText.h"

namespace larkspire {

CStatusSourceBox::CStatusSourceBox(AppCore& app, const CConfiguration& config, QWidget* parent)
    : QGroupBox(tr("Status Source"), parent), app_(app) {
  setObjectName("statusSource");
  site_ = new QRadioButton(tr("PAIR status &site through the local proxy"), this);
  site_->setObjectName("sourceSite");
  proxy_ = new QLineEdit(ToQt(config.proxy_server), this);
  proxy_->setObjectName("proxyServer");
  proxy_->setPlaceholderText(tr("host:port"));
  proxy_label_ = new QLabel(tr("HTTP Pro&xy:"), this);
  proxy_label_->setBuddy(proxy_);
  odp_ = new QRadioButton(tr("Open Data &Portal (api.uspto.gov) with an API key"), this);
  odp_->setObjectName("sourceOdp");
  (UsesOdp(config.status_source) ? odp_ : site_)->setChecked(true);

  key_ = new QLineEdit(ToQt(UnscramblePassword(config.odp_key)), this);
  key_->setObjectName("odpKey");
  key_->setEchoMode(QLineEdit::Password);
  if (std::getenv(kOdpKeyVariable) != nullptr) {
    key_->setPlaceholderText(tr("taken from %1").arg(QString::fromLatin1(kOdpKeyVariable)));
  }
  check_ = new QPushButton(tr("Check Ke&y"), this);
  check_->setObjectName("checkOdpKey");
  const QString page = QString::fromLatin1(kOdpKeyPage);
  key_page_ =
      new QLabel(tr("Your key is on your MyODP page once you sign in with a USPTO.gov account: "
                    "<a href=\"%1\">%1</a>")
                     .arg(page),
                 this);
  key_page_->setObjectName("odpKeyPage");
  key_page_->setWordWrap(true);
  key_page_->setTextInteractionFlags(Qt::TextBrowserInteraction);
  customer_numbers_ = new QLineEdit(ToQt(config.odp_customer_numbers), this);
  customer_numbers_->setObjectName("odpCustomerNumbers");
  customer_numbers_->setPlaceholderText(tr("for the master list, e.g. 23456, 34567"));

  auto* proxy_form = new QFormLayout;
  proxy_form->addRow(proxy_label_, proxy_);
  auto* key_row = new QHBoxLayout;
  key_row->addWidget(key_);
  key_row->addWidget(check_);
  auto* form = new QFormLayout;
  auto* key_label = new QLabel(tr("API &Key:"), this);
  key_label->setBuddy(key_);
  form->addRow(key_label, key_row);
  form->addRow(QString(), key_page_);
  auto* numbers_label = new QLabel(tr("Customer &Numbers:"), this);
  numbers_label->setBuddy(customer_numbers_);
  form->addRow(numbers_label, customer_numbers_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(site_);
  layout->addLayout(proxy_form);
  layout->addWidget(odp_);
  layout->addLayout(form);

  connect(odp_, &QRadioButton::toggled, this, &CStatusSourceBox::ShowChoice);
  connect(check_, &QPushButton::clicked, this, &CStatusSourceBox::CheckKey);
  // Opened the way the program opens every page, so a desktop without a browser is told.
  connect(key_page_, &QLabel::linkActivated, this, [this](const QString& address) {
    if (app_.Ui()) app_.Ui()->OpenDocument(FromQt(address));
  });
  ShowChoice();
}

void CStatusSourceBox::ShowChoice() {
  const bool odp = odp_->isChecked();
  for (QWidget* field :
       {static_cast<QWidget*>(key_), static_cast<QWidget*>(check_),
        static_cast<QWidget*>(key_page_), static_cast<QWidget*>(customer_numbers_)}) {
    field->setEnabled(odp);
  }
  // The status site needs the proxy; the service does not use it.
  proxy_->setVisible(!odp);
  proxy_label_->setVisible(!odp);
  // Tab lands on the chosen source; the arrow keys move between the two.
  site_->setFocusPolicy(odp ? Qt::ClickFocus : Qt::StrongFocus);
  odp_->setFocusPolicy(odp ? Qt::StrongFocus : Qt::ClickFocus);
}

void CStatusSourceBox::ShowProxy(const std::string& proxy_server) {
  proxy_->setText(ToQt(proxy_server));
}

void CStatusSourceBox::CheckKey() {
  app_.MessageBox(CheckOdpKey(app_, FromQt(key_->text())), MsgButtons::kOk, MsgAnswer::kOk,
                  "Open Data Portal Key");
}

void CStatusSourceBox::Collect(CConfiguration& config) const {
  if (odp_->isChecked()) {
    config.status_source = kSourceOdp;
  } else if (UsesOdp(config.status_source)) {
    config.status_source = kSourceSite;
  }
  config.proxy_server = FromQt(proxy_->text());
  config.odp_key = ScramblePassword(TrimKey(FromQt(key_->text())));
  config.odp_customer_numbers = FromQt(customer_numbers_->text());
}

QWidget* CStatusSourceBox::FieldWidget(ConfigField field) const {
  return field == ConfigField::kOdpCustomerNumbers ? customer_numbers_ : key_;
}

}  // namespace larkspire
