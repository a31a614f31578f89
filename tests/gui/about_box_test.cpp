// The About box: versions, web sites, and the upgrade button only when there is an upgrade.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/Sites.h"
#include "support/GuiTestApp.h"
#include "ui/AboutBox.h"
#include "ui/QtText.h"

using namespace larkspire;

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void showsBothVersionsAndOffersTheUpgradeOnlyWhenNotCurrent() {
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    const std::string own = test.App().VersionText();
    const struct {
      std::string rules_version;
      bool upgrade_enabled;
    } cases[] = {{own + ".000", false}, {"9.9.99.000", true}};
    for (const auto& c : cases) {
      test.App().Rules().version = c.rules_version;
      CAboutBox box(test.App(), nullptr);
      QCOMPARE(box.windowTitle(), ToQt(std::string("About ") + kCaption));
      QCOMPARE(box.findChild<QLabel*>("programVersion")->text(), ToQt(own));
      QCOMPARE(box.findChild<QLabel*>("rulesVersion")->text(), ToQt(c.rules_version));
      QCOMPARE(box.findChild<QPushButton*>("upgrade")->isEnabled(), c.upgrade_enabled);
    }
  }

  // The rules version comes from a downloaded file: shown as it is, never read as markup.
  void everyLabelIsPlainText() {
    CGuiTestApp test;
    const std::string version = "<a href=\"http://elsewhere.example/\">9.9.99</a> <b>x</b>";
    test.App().Rules().version = version;
    CAboutBox box(test.App(), nullptr);
    const QList<QLabel*> labels = box.findChildren<QLabel*>();
    QVERIFY(labels.size() >= 6);
    for (const QLabel* label : labels) QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(box.findChild<QLabel*>("rulesVersion")->text(), ToQt(version));
  }

  void theSiteButtonsOpenTheSitesAndUpgradeClosesTheBox() {
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    test.App().Rules().version = "9.9.99.000";
    CAboutBox box(test.App(), nullptr);
    box.show();
    box.findChild<QPushButton*>("publisherSite")->click();
    box.findChild<QPushButton*>("makerSite")->click();
    QCOMPARE(test.Ui().opened,
             (std::vector<std::string>{kPublisherSiteAddress, kMakerSiteAddress}));
    QVERIFY(box.isVisible());
    box.findChild<QPushButton*>("upgrade")->click();
    QVERIFY(!box.isVisible());
    QVERIFY(box.UpgradeChosen());
  }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
