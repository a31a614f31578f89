#include "ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppCore.h"
#include "app/Help.h"
#include "app/Sites.h"
#include "app/Upgrade.h"
#include "ui/QtText.h"
#include "ui/UpgradeCommand.h"

namespace larkspire {
namespace {

// The rules version comes from a downloaded file: no label of the box reads markup or offers a
// link.
QLabel* PlainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

CAboutBox::CAboutBox(AppCore& app, QWidget* parent) : QDialog(parent) {
  setWindowTitle(ToQt(std::string("About ") + kCaption));

  auto* name = PlainLabel(ToQt(kCaption), this);
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  auto* tagline = PlainLabel(tr("Watches the status of US patent applications."), this);

  auto* versions = new QGridLayout;
  versions->addWidget(PlainLabel(tr("Version"), this), 0, 0, 1, 2);
  versions->addWidget(PlainLabel(tr("Application:"), this), 1, 0);
  auto* program_version = PlainLabel(ToQt(app.VersionText()), this);
  program_version->setObjectName("programVersion");
  versions->addWidget(program_version, 1, 1);
  versions->addWidget(PlainLabel(tr("Rules File:"), this), 2, 0);
  auto* rules_version = PlainLabel(ToQt(app.Rules().version), this);
  rules_version->setObjectName("rulesVersion");
  versions->addWidget(rules_version, 2, 1);
  versions->setColumnStretch(1, 1);

  auto* publisher = new QPushButton(ToQt(kPublisherSiteName), this);
  publisher->setObjectName("publisherSite");
  auto* maker = new QPushButton(ToQt(kMakerSiteName), this);
  maker->setObjectName("makerSite");
  auto* upgrade = new QPushButton(tr("Download/Install Upgrade"), this);
  upgrade->setObjectName("upgrade");
  upgrade->setEnabled(!ProgramIsCurrent(app));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");

  connect(publisher, &QPushButton::clicked, this, [&app] { GoToPublisherSite(app); });
  connect(maker, &QPushButton::clicked, this, [&app] { GoToMakerSite(app); });
  connect(upgrade, &QPushButton::clicked, this, [this] {
    upgrade_chosen_ = true;
    accept();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* sites = new QVBoxLayout;
  sites->addWidget(publisher);
  sites->addWidget(maker);
  sites->addWidget(upgrade);
  auto* top = new QHBoxLayout;
  auto* text = new QVBoxLayout;
  text->addWidget(name);
  text->addWidget(tagline);
  text->addLayout(versions);
  text->addStretch();
  top->addLayout(text, 1);
  top->addLayout(sites);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
}

void ShowAbout(AppCore& app, QWidget* parent) {
  bool upgrade = false;
  {
    CAboutBox box(app, parent);
    box.exec();
    upgrade = box.UpgradeChosen();
  }
  if (upgrade) RunUpgrade(app);
}

}  // namespace larkspire
