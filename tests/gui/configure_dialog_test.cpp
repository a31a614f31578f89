// The Configure, Advanced and Add address dialogs, and the first run through them.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "app/AppCore.h"
#include "net/PasswordScramble.h"
#include "notify/EmailQueue.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "support/GuiTestApp.h"
#include "ui/AddAddressDialog.h"
#include "ui/AdvancedDialog.h"
#include "ui/ConfigureCommand.h"
#include "ui/ConfigureDialog.h"
#include "ui/DirectoryChooser.h"
#include "ui/HandOver.h"
#include "ui/QtText.h"

using namespace larkspire;

namespace {

std::string Dir(const QTemporaryDir& dir, const char* name) {
  return dir.filePath(name).toStdString();
}

QLineEdit* Field(QWidget* dialog, const char* name) { return dialog->findChild<QLineEdit*>(name); }
QComboBox* Choice(QWidget* dialog, const char* name) { return dialog->findChild<QComboBox*>(name); }
// The stored text of a choice's current item.
QString Chosen(QWidget* dialog, const char* name) {
  return Choice(dialog, name)->currentData().toString();
}
void Choose(QWidget* dialog, const char* name, const char* stored) {
  QComboBox* choice = Choice(dialog, name);
  choice->setCurrentIndex(choice->findData(QString(stored)));
}
QPushButton* Button(QWidget* dialog, const char* name) {
  return dialog->findChild<QPushButton*>(name);
}
void Set(QWidget* dialog, const char* name, const std::string& text) {
  Field(dialog, name)->setText(ToQt(text));
}

constexpr const char* kKeyMessage =
    "Please enter your Open Data Portal API key, or set USPTO_API_KEY for the program. (The key "
    "is shown on your MyODP page, https://data.uspto.gov/myodp, once you sign in to the Open "
    "Data Portal with a USPTO.gov account.)";

// The object names of the widgets Tab reaches from the first field, in order, up to the first
// button of the dialog's button row.
std::vector<std::string> TabChain(QDialog& dialog) {
  std::vector<std::string> chain;
  Field(&dialog, "orgName")->setFocus();
  for (int presses = 0; presses < 40; ++presses) {
    QWidget* focus = dialog.focusWidget();
    const std::string name = focus->objectName().toStdString();
    if (name == "ok" || name == "cancel" || name == "help") break;
    // A label's link takes a Tab of its own after the label: one stop of the chain.
    if (chain.empty() || chain.back() != name) chain.push_back(name);
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  return chain;
}

// The messages shown, one per line, for comparisons that print what differs.
std::string Joined(const std::vector<std::string>& messages) {
  std::string out;
  for (const std::string& m : messages) out += (out.empty() ? "" : "\n") + m;
  return out;
}

}  // namespace

namespace QTest {
template <>
char* toString(const std::string& text) {
  return qstrdup(text.c_str());
}
}  // namespace QTest

class ConfigureDialogTest : public QObject {
  Q_OBJECT

 private slots:
  // A key in the environment would satisfy the key check of a first configuration.
  void initTestCase() { qunsetenv("USPTO_API_KEY"); }

  void okChecksEachFieldInOrderAndFocusesIt() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    test.App().Settings().Install.Set(Dir(dir, "app"));
    test.App().Settings().ShortcutFolder.Set("");
    MakeDirectories(Dir(dir, "app"));
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.show();
    QPushButton* ok = Button(&dialog, "ok");
    // Each step fixes the field the last OK complained about.
    auto press = [&](const char* expected_message, const char* expected_focus) {
      test.Ui().messages.clear();
      ok->click();
      QCOMPARE(Joined(test.Ui().Texts()), std::string(expected_message));
      QCOMPARE(dialog.focusWidget()->objectName(), QString(expected_focus));
      QVERIFY(dialog.isVisible());
    };
    press("Please enter an organization name.", "orgName");
    Set(&dialog, "orgName", "Hollis & Marsh");
    press("Please enter an SMTP server name. (like mail.example.com)", "smtpServer");
    Set(&dialog, "smtpServer", "mail.hollis.example");
    press("Please enter a E-Mail return address. (like docketing@example.com)", "returnAddress");
    Set(&dialog, "returnAddress", "docket@hollis.example");

    // The address check opens the Add dialog by itself; an empty address adds nothing.
    WhenModal<CAddAddressDialog>([](CAddAddressDialog* add) { add->accept(); });
    press("Please enter at least one E-Mail notification address. (like attorney@example.com)",
          "notifyAddresses");
    auto* addresses = dialog.findChild<QComboBox*>("notifyAddresses");
    QCOMPARE(addresses->count(), 0);
    WhenModal<CAddAddressDialog>([](CAddAddressDialog* add) {
      Set(add, "address", "ann@hollis.example");
      add->accept();
    });
    press("Please enter at least one E-Mail notification address. (like attorney@example.com)",
          "notifyAddresses");
    QCOMPARE(addresses->count(), 1);
    QCOMPARE(addresses->currentText(), QString("ann@hollis.example"));

    press("Please enter a directory for storing the shortcuts.", "shortcutFolder");
    Set(&dialog, "shortcutFolder", Dir(dir, "menu"));
    MakeDirectories(Dir(dir, "menu"));
    Set(&dialog, "appDir", "");
    press("Please enter a directory for storing the application.", "appDir");
    Set(&dialog, "appDir", Dir(dir, "app"));
    // The logging directory shown for an empty setting is AppDir/Log; it does not exist yet.
    QCOMPARE(Field(&dialog, "logDir")->text().toStdString(), Dir(dir, "app/Log"));
    test.Ui().answer_when = {{"does not exist", MsgAnswer::kNo}};
    test.Ui().messages.clear();
    ok->click();
    QCOMPARE(test.Ui().Texts(),
             (std::vector<std::string>{"Logging directory does not exist. Do you want it created?",
                                       "Logging directory was not created."}));
    QCOMPARE(dialog.focusWidget()->objectName(), QString("logDir"));
    Set(&dialog, "reportDir", "");
    test.Ui().answer_when = {{"does not exist", MsgAnswer::kYes}};
    press(
        "Logging directory does not exist. Do you want it created?\n"
        "Please enter a directory for storing the report.",
        "reportDir");
    QVERIFY(IsDirectory(Dir(dir, "app/Log")));

    Set(&dialog, "reportDir", Dir(dir, "reports"));
    // A first configuration proposes the Open Data Portal, which needs a key.
    QVERIFY(dialog.findChild<QRadioButton*>("sourceOdp")->isChecked());
    test.Ui().messages.clear();
    ok->click();
    QCOMPARE(test.Ui().Texts(),
             (std::vector<std::string>{"Report directory does not exist. Do you want it created?",
                                       kKeyMessage}));
    QCOMPARE(dialog.focusWidget()->objectName(), QString("odpKey"));
    Set(&dialog, "odpKey", "k3y of the office");
    test.Ui().messages.clear();
    ok->click();
    QVERIFY(test.Ui().messages.empty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(test.App().Settings().StatusSource.Text(), std::string("ODP"));
    QCOMPARE(test.App().Settings().OdpKey.Text(), ScramblePassword("k3y of the office"));
    QCOMPARE(test.App().Settings().OrgName.Text(), std::string("Hollis & Marsh"));
    QCOMPARE(test.App().Settings().NotifyAddress.Items(),
             std::vector<std::string>{"ann@hollis.example"});
    QCOMPARE(test.App().Settings().LogDir.Text(), Dir(dir, "app/Log"));
    QVERIFY(IsDirectory(Dir(dir, "app/Log/Larkspire")));
  }

  void everyMnemonicInTheDialogIsItsOwn() {
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    CConfigureDialog dialog(test.App(), nullptr);
    std::map<QString, QStringList> owners;
    auto note = [&owners](const QString& text, const QString& who) {
      const QKeySequence key = QKeySequence::mnemonic(text);
      if (!key.isEmpty()) owners[key.toString()].append(who);
    };
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
      note(button->text(), button->text());
    }
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      // A field's label must lead to it by its letter.
      if (label->buddy() != nullptr) {
        QVERIFY2(!QKeySequence::mnemonic(label->text()).isEmpty(), qPrintable(label->text()));
      }
      note(label->text(), label->text());
    }
    QVERIFY(owners.size() > 10);
    for (const auto& [key, who] : owners) {
      QVERIFY2(who.size() == 1, qPrintable(key + ": " + who.join(" / ")));
    }
  }

  void tabFollowsTheDialogDownAndLandsOnTheChosenSource() {
    QTemporaryDir dir;
    const std::vector<std::string> form = {
        "orgName",         "smtpServer",     "returnAddress",
        "notifyAddresses", "addAddress",     "deleteAddress",
        "advanced",        "shortcutFolder", "browseShortcutFolder",
        "appDir",          "browseAppDir",   "logDir",
        "browseLogDir",    "reportDir",      "browseReportDir"};
    struct Case {
      bool configured;  // before the source setting: the status site; new: the service
      std::vector<std::string> source;
    };
    const Case cases[] = {
        {true, {"sourceSite", "proxyServer"}},
        {false, {"sourceOdp", "odpKey", "checkOdpKey", "odpKeyPage", "odpCustomerNumbers"}},
    };
    for (const Case& c : cases) {
      CGuiTestApp test(CGuiTestApp::Unconfigured{});
      if (c.configured) Fill(test, dir);
      CConfigureDialog dialog(test.App(), nullptr);
      dialog.show();
      QApplication::setActiveWindow(&dialog);
      QVERIFY(QTest::qWaitForWindowActive(&dialog));
      std::vector<std::string> expected = form;
      expected.insert(expected.end(), c.source.begin(), c.source.end());
      const std::vector<std::string> chain = TabChain(dialog);
      QVERIFY2(chain == expected, Joined(chain).c_str());
    }
  }

  void eachFolderHasABrowseButtonThatFillsItsField() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    CConfigureDialog dialog(test.App(), nullptr);
    const std::pair<const char*, const char*> folders[] = {
        {"browseShortcutFolder", "shortcutFolder"},
        {"browseAppDir", "appDir"},
        {"browseLogDir", "logDir"},
        {"browseReportDir", "reportDir"}};
    for (const auto& [button, field] : folders) {
      const QString before = Field(&dialog, field)->text();
      QString started_at;
      QString answer;
      SetDirectoryHookForTesting([&](const QString&, const QString& start) {
        started_at = start;
        return answer;
      });
      // Cancelled: the field keeps its text.
      Button(&dialog, button)->click();
      QCOMPARE(started_at, before);
      QCOMPARE(Field(&dialog, field)->text(), before);
      answer = dir.filePath(QString("chosen-") + field);
      Button(&dialog, button)->click();
      QCOMPARE(Field(&dialog, field)->text(), answer);
    }
    SetDirectoryHookForTesting(nullptr);
  }

  void anAddressWithoutItsDomainIsRefusedByName() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    test.App().Settings().NotifyAddress.Items() = {"ann@hollis.example", "bob"};
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.show();
    struct Case {
      const char* return_address;
      const char* message;
      const char* focus;
    };
    const Case cases[] = {
        {"docket",
         "\"docket\" is not an e-mail address. Please enter an address with its domain. (like "
         "attorney@example.com)",
         "returnAddress"},
        {"docket@hollis.example",
         "\"bob\" is not an e-mail address. Please enter an address with its domain. (like "
         "attorney@example.com)",
         "notifyAddresses"},
    };
    for (const Case& c : cases) {
      Set(&dialog, "returnAddress", c.return_address);
      test.Ui().messages.clear();
      Button(&dialog, "ok")->click();
      QCOMPARE(Joined(test.Ui().Texts()), std::string(c.message));
      QCOMPARE(dialog.focusWidget()->objectName(), QString(c.focus));
      QVERIFY(dialog.result() != int(QDialog::Accepted));
    }
    // The address to fix is the one shown.
    QCOMPARE(Choice(&dialog, "notifyAddresses")->currentText(), QString("bob"));
    QCOMPARE(test.App().Settings().ReturnAddress.Text(), std::string("docket@hollis.example"));

    // The Add dialog refuses it too, and keeps what was typed.
    CAddAddressDialog add(test.App(), nullptr);
    Set(&add, "address", "carol at hollis");
    test.Ui().messages.clear();
    add.accept();
    QCOMPARE(Joined(test.Ui().Texts()),
             std::string("\"carol at hollis\" is not an e-mail address. Please enter an address "
                         "with its domain. (like attorney@example.com)"));
    QVERIFY(add.result() != int(QDialog::Accepted));
    QCOMPARE(Field(&add, "address")->text(), QString("carol at hollis"));
  }

  void theServiceNeedsAKeyAndSaysWhereOneIsObtained() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.show();
    dialog.findChild<QRadioButton*>("sourceOdp")->setChecked(true);
    // A variable that is set but holds no key gives none.
    for (const char* variable : {"", "  \n"}) {
      qputenv("USPTO_API_KEY", variable);
      test.Ui().messages.clear();
      Button(&dialog, "ok")->click();
      QCOMPARE(Joined(test.Ui().Texts()), std::string(kKeyMessage));
      QCOMPARE(dialog.focusWidget()->objectName(), QString("odpKey"));
      QVERIFY(dialog.result() != int(QDialog::Accepted));
    }
    qunsetenv("USPTO_API_KEY");
    auto* page = dialog.findChild<QLabel*>("odpKeyPage");
    QVERIFY(page->isVisibleTo(&dialog));
    QVERIFY(page->text().contains("https://data.uspto.gov/myodp"));
    emit page->linkActivated("https://data.uspto.gov/myodp");
    QCOMPARE(test.Ui().opened, std::vector<std::string>{"https://data.uspto.gov/myodp"});
    QCOMPARE(test.App().Settings().StatusSource.Text(), std::string());
  }

  void theProxyIsShownWithTheStatusSiteAndAgreesWithTheAdvancedDialog() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    test.App().Settings().ProxyServer.Set("127.0.0.1:8080");
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.show();
    QLineEdit* proxy = Field(&dialog, "proxyServer");
    QVERIFY(proxy->isVisibleTo(&dialog));
    QCOMPARE(proxy->text(), QString("127.0.0.1:8080"));
    dialog.findChild<QRadioButton*>("sourceOdp")->setChecked(true);
    QVERIFY(!proxy->isVisibleTo(&dialog));
    dialog.findChild<QRadioButton*>("sourceSite")->setChecked(true);
    QVERIFY(proxy->isVisibleTo(&dialog));

    // What is typed here is what the Advanced dialog shows, and the other way round.
    Set(&dialog, "proxyServer", "proxy.hollis.example:3128");
    QString shown;
    WhenModal<CAdvancedDialog>([&shown](CAdvancedDialog* advanced) {
      shown = Field(advanced, "proxyServer")->text();
      Set(advanced, "proxyServer", "proxy2.hollis.example:3128");
      advanced->accept();
    });
    Button(&dialog, "advanced")->click();
    QCOMPARE(shown, QString("proxy.hollis.example:3128"));
    QCOMPARE(proxy->text(), QString("proxy2.hollis.example:3128"));
    Button(&dialog, "ok")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(test.App().Settings().ProxyServer.Text(), std::string("proxy2.hollis.example:3128"));
  }

  void theProbeCreatesAMissingNestedDirectoryAfterYes() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    CConfigureDialog dialog(test.App(), nullptr);
    const std::string nested = Dir(dir, "srv/larkspire/html/reports");
    Set(&dialog, "reportDir", nested);
    test.Ui().answer_when = {{"does not exist", MsgAnswer::kYes}};
    Button(&dialog, "ok")->click();
    QCOMPARE(test.Ui().Texts(),
             std::vector<std::string>{"Report directory does not exist. Do you want it created?"});
    QVERIFY(IsDirectory(nested));
    QCOMPARE(test.App().Settings().ReportDir.Text(), nested);
  }

  void cancelStoresNothing() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    CConfigureDialog dialog(test.App(), nullptr);
    Set(&dialog, "orgName", "Changed");
    Button(&dialog, "cancel")->click();
    QCOMPARE(test.App().Settings().OrgName.Text(), std::string("Hollis & Marsh"));
  }

  void advancedDialogKeepsThePasswordScrambled() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    test.App().Settings().Password.Set(ScramblePassword("abc"));
    test.App().Settings().ProxyServer.Set("127.0.0.1:8080");
    CConfigureDialog dialog(test.App(), nullptr);

    // Cancel leaves the copy alone.
    WhenModal<CAdvancedDialog>([](CAdvancedDialog* advanced) {
      Set(advanced, "password", "ignored");
      advanced->reject();
    });
    Button(&dialog, "advanced")->click();

    QString shown;
    WhenModal<CAdvancedDialog>([&shown](CAdvancedDialog* advanced) {
      shown = Field(advanced, "password")->text();
      QCOMPARE(Field(advanced, "password")->echoMode(), QLineEdit::Password);
      QCOMPARE(Field(advanced, "proxyServer")->text(), QString("127.0.0.1:8080"));
      Set(advanced, "password", "n3w p\xE4ss");
      Set(advanced, "userName", "ann");
      Set(advanced, "proxyServer", "proxy.hollis.example:3128");
      advanced->accept();
    });
    Button(&dialog, "advanced")->click();
    QCOMPARE(shown, QString("abc"));
    // Nothing is stored before the Configure dialog's OK.
    QCOMPARE(test.App().Settings().Password.Text(), ScramblePassword("abc"));
    QCOMPARE(test.App().Settings().UserName.Text(), std::string());

    Button(&dialog, "ok")->click();
    const std::string stored = test.App().Settings().Password.Text();
    QVERIFY(stored.find("n3w") == std::string::npos);
    QCOMPARE(stored, ScramblePassword("n3w p\xE4ss"));
    QCOMPARE(UnscramblePassword(stored), std::string("n3w p\xE4ss"));
    QCOMPARE(test.App().Settings().UserName.Text(), std::string("ann"));
    QCOMPARE(test.App().Settings().ProxyServer.Text(), std::string("proxy.hollis.example:3128"));
  }

  void advancedDialogChoosesSecuritySignInAndCaFile() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);  // stored before the security setting existed
    QVERIFY(SaveFileAtomically(Dir(dir, "office-ca.pem"), "-----BEGIN CERTIFICATE-----\n"));
    CConfigureDialog dialog(test.App(), nullptr);
    // The warning names the server as typed, before any OK.
    Set(&dialog, "smtpServer", "relay.hollis.example");

    WhenModal<CAdvancedDialog>([&dir](CAdvancedDialog* advanced) {
      auto* warning = advanced->findChild<QLabel*>("unencryptedWarning");
      QCOMPARE(Chosen(advanced, "smtpSecurity"), QString("None"));
      QCOMPARE(Chosen(advanced, "smtpAuth"), QString("Password"));
      QVERIFY(warning->isHidden());  // no user name: no password is sent
      Set(advanced, "userName", "ann");
      QVERIFY(!warning->isHidden());
      QVERIFY(warning->text().contains("relay.hollis.example"));
      Choose(advanced, "smtpSecurity", "STARTTLS");
      QVERIFY(warning->isHidden());
      QVERIFY(Field(advanced, "password")->isEnabled());
      QVERIFY(!Field(advanced, "tokenCommand")->isEnabled());
      Choose(advanced, "smtpAuth", "Token");
      QVERIFY(!Field(advanced, "password")->isEnabled());
      QVERIFY(Field(advanced, "tokenCommand")->isEnabled());
      Set(advanced, "tokenCommand", "oauth2-helper --account \"Hollis Docket\"");
      Set(advanced, "caFile", Dir(dir, "office-ca.pem"));
      advanced->accept();
    });
    Button(&dialog, "advanced")->click();
    // Nothing is stored before the Configure dialog's OK.
    QCOMPARE(test.App().Settings().SmtpSecurity.Text(), std::string());

    test.Ui().messages.clear();
    Button(&dialog, "ok")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(test.Ui().messages.empty());
    const CSettings& s = test.App().Settings();
    QCOMPARE(s.SmtpServer.Text(), std::string("relay.hollis.example"));
    QCOMPARE(s.SmtpSecurity.Text(), std::string("STARTTLS"));
    QCOMPARE(s.SmtpAuth.Text(), std::string("Token"));
    QCOMPARE(s.UserName.Text(), std::string("ann"));
    QCOMPARE(s.SmtpTokenCommand.Text(), std::string("oauth2-helper --account \"Hollis Docket\""));
    QCOMPARE(s.CaFile.Text(), Dir(dir, "office-ca.pem"));
  }

  void aNewConfigurationOffersStartTls() {
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    CConfigureDialog dialog(test.App(), nullptr);
    QString security;
    WhenModal<CAdvancedDialog>([&security](CAdvancedDialog* advanced) {
      security = Chosen(advanced, "smtpSecurity");
      advanced->reject();
    });
    Button(&dialog, "advanced")->click();
    QCOMPARE(security, QString("STARTTLS"));
  }

  void okWarnsOfAPasswordSentUnencryptedAndStoresTheChoice() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    test.App().Settings().UserName.Set("ann");
    test.App().Settings().Password.Set(ScramblePassword("abc"));
    CConfigureDialog dialog(test.App(), nullptr);
    Button(&dialog, "ok")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(test.Ui().Texts(),
             std::vector<std::string>{
                 "The password for the mail server mail.hollis.example crosses the network "
                 "unencrypted, because the mail security is None. Choose STARTTLS or TLS unless "
                 "the server is a relay on a network you trust."});
    // Confirmed once, the choice is stored as such.
    QCOMPARE(test.App().Settings().SmtpSecurity.Text(), std::string("None"));
  }

  void anIncompleteTokenSignInOpensTheAdvancedDialog() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    CSettings& s = test.App().Settings();
    s.SmtpSecurity.Set("TLS");
    s.SmtpAuth.Set("Token");
    s.UserName.Set("docket@hollis.example");
    CConfigureDialog dialog(test.App(), nullptr);
    bool opened = false;
    WhenModal<CAdvancedDialog>([&opened](CAdvancedDialog* advanced) {
      opened = true;
      Set(advanced, "tokenCommand", "/usr/local/bin/oauth2-token");
      advanced->accept();
    });
    Button(&dialog, "ok")->click();
    QVERIFY(opened);
    QCOMPARE(test.Ui().Texts(),
             std::vector<std::string>{"Please enter the command that prints the access token "
                                      "(Advanced HTTP and SMTP Settings)."});
    QVERIFY(dialog.result() != int(QDialog::Accepted));
    QCOMPARE(s.SmtpTokenCommand.Text(), std::string());
    Button(&dialog, "ok")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(s.SmtpTokenCommand.Text(), std::string("/usr/local/bin/oauth2-token"));
  }

  void deleteAsksAndSelectsTheItemThatTakesThePlace() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    test.App().Settings().NotifyAddress.Items() = {"a@x.example", "b@x.example", "c@x.example"};
    CConfigureDialog dialog(test.App(), nullptr);
    auto* addresses = dialog.findChild<QComboBox*>("notifyAddresses");
    QCOMPARE(addresses->currentIndex(), 0);
    addresses->setCurrentIndex(1);
    test.Ui().answer_when = {{"delete", MsgAnswer::kNo}};
    Button(&dialog, "deleteAddress")->click();
    QCOMPARE(addresses->count(), 3);
    QCOMPARE(test.Ui().Texts(),
             std::vector<std::string>{"Are you sure that you want to delete this entry?"});
    test.Ui().answer_when = {{"delete", MsgAnswer::kYes}};
    Button(&dialog, "deleteAddress")->click();
    QCOMPARE(addresses->count(), 2);
    QCOMPARE(addresses->currentText(), QString("c@x.example"));
    Button(&dialog, "deleteAddress")->click();
    QCOMPARE(addresses->currentText(), QString("a@x.example"));
  }

  void eachAddressKeepsItsChoiceBesideIt() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    CSettings& s = test.App().Settings();
    s.NotifyAddress.Items() = {"a@x.example", "b@x.example", "c@x.example"};
    s.NotifyChoice.Items() = {"", "digest"};
    CConfigureDialog dialog(test.App(), nullptr);
    auto* addresses = dialog.findChild<QComboBox*>("notifyAddresses");
    QStringList shown;
    for (int i = 0; i < addresses->count(); ++i) shown << addresses->itemText(i);
    QCOMPARE(shown, QStringList({"a@x.example", "b@x.example (digest)", "c@x.example"}));
    WhenModal<CAddAddressDialog>([](CAddAddressDialog* add) {
      Set(add, "address", "d@x.example");
      auto* choice = add->findChild<QComboBox*>("choice");
      choice->setCurrentIndex(choice->findData(QString("reminders")));
      add->accept();
    });
    Button(&dialog, "addAddress")->click();
    QCOMPARE(addresses->currentText(), QString("d@x.example (reminders)"));
    addresses->setCurrentIndex(1);
    test.Ui().answer_when = {{"delete", MsgAnswer::kYes}};
    Button(&dialog, "deleteAddress")->click();
    Button(&dialog, "ok")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(s.NotifyAddress.Items(),
             std::vector<std::string>({"a@x.example", "c@x.example", "d@x.example"}));
    QCOMPARE(s.NotifyChoice.Items(), std::vector<std::string>({"", "", "reminders"}));

    // Addresses without choices store none.
    CConfigureDialog again(test.App(), nullptr);
    again.findChild<QComboBox*>("notifyAddresses")->setCurrentIndex(2);
    Button(&again, "deleteAddress")->click();
    Button(&again, "ok")->click();
    QCOMPARE(s.NotifyChoice.Items(), std::vector<std::string>());
  }

  void theLoggingDirectoryIsLockedWhileEmailIsPending() {
    QTemporaryDir dir;
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    Fill(test, dir);
    QVERIFY(SaveFileAtomically(JoinPath(test.App().Settings().LogDir.Text(), kPendingListName),
                               "Larkspire_s1234567.tmp\r\n"));
    QVERIFY(EmailPending(test.App()));
    CConfigureDialog dialog(test.App(), nullptr);
    QCOMPARE(test.Ui().Texts(),
             std::vector<std::string>{"There is pending e-mail to send. You will not be able to "
                                      "change the logging directory until you send or delete the "
                                      "e-mail."});
    QVERIFY(!Field(&dialog, "logDir")->isEnabled());
    QVERIFY(Field(&dialog, "reportDir")->isEnabled());

    RemoveFile(JoinPath(test.App().Settings().LogDir.Text(), kPendingListName));
    test.Ui().messages.clear();
    CConfigureDialog unlocked(test.App(), nullptr);
    QVERIFY(test.Ui().messages.empty());
    QVERIFY(Field(&unlocked, "logDir")->isEnabled());
  }

  void firstRunFromEmptySettingsConfiguresInstallsAndQueuesTheWelcome() {
    QTemporaryDir dir;
    const QByteArray data_home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
    MakeDirectories(Dir(dir, "download"));
    const std::string program = Dir(dir, "download/") + kProgramFileName;
    QVERIFY(SaveFileAtomically(program, "\177ELF program"));
    ::chmod(program.c_str(), 0755);

    CGuiTestApp test(CGuiTestApp::Unconfigured{}, program);
    QVERIFY(test.App().Settings().OrgName.Text().empty());
    test.Ui().answer_when = {{"Do you agree to these terms?", MsgAnswer::kYes},
                             {"does not exist", MsgAnswer::kYes},
                             {"test your e-mail connection", MsgAnswer::kNo},
                             {"tell its publisher", MsgAnswer::kYes}};
    WhenModal<CConfigureDialog>([](CConfigureDialog* dialog) {
      Set(dialog, "odpKey", "k3y of the office");
      Set(dialog, "orgName", "Hollis & Marsh");
      Set(dialog, "smtpServer", "mail.hollis.example");
      Set(dialog, "returnAddress", "docket@hollis.example");
      WhenModal<CAddAddressDialog>([](CAddAddressDialog* add) {
        Set(add, "address", "ann@hollis.example");
        add->accept();
      });
      Button(dialog, "addAddress")->click();
      Button(dialog, "ok")->click();
    });
    QVERIFY(RunConfigure(test.App(), nullptr));

    const std::string app_dir = Dir(dir, "data/Grantwell");
    const std::string log_dir = app_dir + "/Log";
    const std::string shortcuts = Dir(dir, "data/applications/Grantwell");
    QCOMPARE(test.Ui().messages.at(0).caption, std::string(kCaption) + " - Disclaimer");
    const std::vector<std::string> expected = {
        test.Ui().Texts().at(0),
        "Shortcuts folder does not exist. Do you want it created?",
        "Application directory does not exist. Do you want it created?",
        "Logging directory does not exist. Do you want it created?",
        "Report directory does not exist. Do you want it created?",
        test.Ui().Texts().at(5),
        test.Ui().Texts().at(6),
        std::string("A shortcut to ") + kProgramFileName +
            " has been added to the applications menu under \"Grantwell\"."};
    QCOMPARE(test.Ui().Texts(), expected);
    QVERIFY(test.Ui().Texts()[5].find("Org Name: Hollis & Marsh") != std::string::npos);
    QVERIFY(test.Ui().Texts()[6].find("test your e-mail connection") != std::string::npos);

    // Configured and stored.
    QCOMPARE(test.App().Settings().OrgName.Text(), std::string("Hollis & Marsh"));
    QCOMPARE(test.Backend().Read("Settings", "LogDir").value_or(""), log_dir);
    QCOMPARE(test.Backend().Read("", "Install").value_or(""), app_dir);
    // The welcome report waits in the queue for the next batch.
    std::string pending, welcome;
    QVERIFY(ReadWholeFile(JoinPath(log_dir, kPendingListName), pending));
    QCOMPARE(pending, std::string("Larkspire_welcome.tmp\r\n"));
    QVERIFY(ReadWholeFile(JoinPath(log_dir, "Larkspire_welcome.tmp"), welcome));
    QVERIFY(welcome.find("Hollis & Marsh") != std::string::npos);
    // Installed: the program copied into the application directory, the shortcuts written.
    std::string copied;
    QVERIFY(ReadWholeFile(JoinPath(app_dir, kProgramFileName), copied));
    QCOMPARE(copied, std::string("\177ELF program"));
    QVERIFY(FileExists(shortcuts + "/Larkspire.desktop"));
    QVERIFY(FileExists(shortcuts + "/Larkspire (auto).desktop"));
    QCOMPARE(test.Ui().close_requests, 0);
    // Later tests install into the build tree's data directory again, not the user's.
    qputenv("XDG_DATA_HOME", data_home);
  }

  void aConfigurationFromBeforeTheSourceSettingKeepsTheStatusSiteAsItWas() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    auto dialog = std::make_unique<CConfigureDialog>(test.App(), nullptr);
    auto* site = dialog->findChild<QRadioButton*>("sourceSite");
    auto* odp = dialog->findChild<QRadioButton*>("sourceOdp");
    QVERIFY(site->isChecked());
    QVERIFY(!Field(dialog.get(), "odpKey")->isEnabled());
    QVERIFY(!Field(dialog.get(), "odpCustomerNumbers")->isEnabled());
    Button(dialog.get(), "ok")->click();
    // Unchanged, the setting stays absent: the program behaves as before it existed.
    QCOMPARE(test.App().Settings().StatusSource.Text(), std::string());

    dialog = std::make_unique<CConfigureDialog>(test.App(), nullptr);
    odp = dialog->findChild<QRadioButton*>("sourceOdp");
    odp->setChecked(true);
    QVERIFY(Field(dialog.get(), "odpKey")->isEnabled());
    QCOMPARE(Field(dialog.get(), "odpKey")->echoMode(), QLineEdit::Password);
    Set(dialog.get(), "odpKey", "k3y");
    Set(dialog.get(), "odpCustomerNumbers", "23456, 34567");
    Button(dialog.get(), "ok")->click();
    QCOMPARE(test.App().Settings().StatusSource.Text(), std::string("ODP"));
    QCOMPARE(test.App().Settings().OdpCustomerNumbers.Text(), std::string("23456, 34567"));

    dialog = std::make_unique<CConfigureDialog>(test.App(), nullptr);
    QCOMPARE(Field(dialog.get(), "odpKey")->text(), QString("k3y"));
    Set(dialog.get(), "odpCustomerNumbers", "23456, C-1");
    test.Ui().messages.clear();
    Button(dialog.get(), "ok")->click();
    QCOMPARE(dialog->focusWidget()->objectName(), QString("odpCustomerNumbers"));
    QCOMPARE(test.Ui().messages.size(), size_t{1});
    dialog->findChild<QRadioButton*>("sourceSite")->setChecked(true);
    Button(dialog.get(), "ok")->click();
    QCOMPARE(test.App().Settings().StatusSource.Text(), std::string("Site"));
  }

  void theKeyBeingEnteredIsCheckedWithOneRequestToTheService() {
    QTemporaryDir dir;
    const std::string ca = Dir(dir, "ca");
    QCOMPARE(
        QProcess::execute("bash", {QString(LARKSPIRE_SOURCE_DIR) + "/tools/sim/make-test-ca.sh",
                                   QString::fromStdString(ca)}),
        0);
    QProcess sim;
    sim.start(LARKSPIRE_SIM, {"--port", "0", "--odp-port", "0", "--tls-cert",
                              QString::fromStdString(ca + "/server.pem"), "--tls-key",
                              QString::fromStdString(ca + "/server.key"), "--odp-key", "good-key",
                              "--odp-inactive-key", "new-key"});
    QVERIFY(sim.waitForStarted(10000));
    QString odp;
    QDeadlineTimer deadline(10000);
    while (!odp.contains("odp listening") && !deadline.hasExpired()) {
      sim.waitForReadyRead(100);
      odp += QString::fromLatin1(sim.readAllStandardOutput());
    }
    const QString port = odp.section("odp listening on 127.0.0.1:", 1).trimmed();
    QVERIFY(!port.isEmpty());

    CGuiTestApp test;
    Fill(test, dir);
    test.App().Settings().OdpServer.Set("127.0.0.1:" + port.toStdString());
    test.App().Settings().CaFile.Set(ca + "/ca.pem");
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.findChild<QRadioButton*>("sourceOdp")->setChecked(true);
    for (const auto& [key, answer] : std::vector<std::pair<const char*, const char*>>{
             {"good-key", "The Open Data Portal accepted the key: it answered 200 OK and serves "},
             {"new-key",
              "The Open Data Portal refused the API key (it answered 403 Forbidden: "
              "The API key is not yet active)."}}) {
      Set(&dialog, "odpKey", key);
      test.Ui().messages.clear();
      Button(&dialog, "checkOdpKey")->click();
      QCOMPARE(test.Ui().messages.size(), size_t{1});
      QVERIFY2(test.Ui().messages[0].text.starts_with(answer), test.Ui().messages[0].text.c_str());
      QCOMPARE(test.Ui().messages[0].caption, std::string(kCaption) + " - Open Data Portal Key");
    }
    // Checking stores nothing.
    QCOMPARE(test.App().Settings().OdpKey.Text(), std::string());
    sim.terminate();
    sim.waitForFinished(5000);
  }

  void refusingTheDisclaimerClosesTheWindow() {
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    QVERIFY(!RunConfigure(test.App(), nullptr));
    QCOMPARE(test.Ui().close_requests, 1);
    QCOMPARE(test.Ui().messages.size(), size_t{1});
  }

  void quittingAnUnfinishedConfigurationClosesTheWindow() {
    CGuiTestApp test(CGuiTestApp::Unconfigured{});
    test.Ui().answer_when = {{"Do you agree", MsgAnswer::kYes},
                             {"Do you want to quit?", MsgAnswer::kNo}};
    int dialogs = 0;
    // Both dialogs are cancelled; after the first the user goes round again, after the second
    // they quit.
    std::function<void(CConfigureDialog*)> cancel = [&](CConfigureDialog* dialog) {
      if (++dialogs == 1) {
        test.Ui().answer_when[1].second = MsgAnswer::kNo;
        WhenModal<CConfigureDialog>(cancel);
      } else {
        test.Ui().answer_when[1].second = MsgAnswer::kYes;
      }
      dialog->reject();
    };
    WhenModal<CConfigureDialog>(cancel);
    QVERIFY(!RunConfigure(test.App(), nullptr));
    QCOMPARE(dialogs, 2);
    QCOMPARE(test.Ui().close_requests, 1);
  }

  void anUpgradeRunInstallsItselfAndStartsTheInstalledCopyAfterTheRun() {
    QTemporaryDir dir;
    MakeDirectories(Dir(dir, "log"));
    const std::string unpacked = JoinPath(Dir(dir, "log"), UpgradeFileName());
    QVERIFY(SaveFileAtomically(unpacked, "\177ELF newer program"));
    CGuiTestApp test(CGuiTestApp::Unconfigured{}, unpacked);
    Fill(test, dir);
    ScheduleProgramStart("");
    QVERIFY(!RunInstallationStep(test.App(), nullptr, false));
    const std::string installed = JoinPath(Dir(dir, "app"), kProgramFileName);
    std::string copied;
    QVERIFY(ReadWholeFile(installed, copied));
    QCOMPARE(copied, std::string("\177ELF newer program"));
    // No question in an upgrade run; the installed copy starts once this run has closed.
    QVERIFY(test.Ui().messages.empty());
    QCOMPARE(ScheduledProgram(), installed);
    QCOMPARE(test.Ui().close_requests, 1);
    ScheduleProgramStart("");
  }

 private:
  // A complete configuration in the settings, every directory in place.
  static void Fill(CGuiTestApp& test, const QTemporaryDir& dir) {
    CSettings& s = test.App().Settings();
    s.OrgName.Set("Hollis & Marsh");
    s.SmtpServer.Set("mail.hollis.example");
    s.ReturnAddress.Set("docket@hollis.example");
    s.NotifyAddress.Items() = {"ann@hollis.example"};
    for (const char* name : {"menu", "app", "log", "report"}) MakeDirectories(Dir(dir, name));
    s.ShortcutFolder.Set(Dir(dir, "menu"));
    s.Install.Set(Dir(dir, "app"));
    s.LogDir.Set(Dir(dir, "log"));
    s.ReportDir.Set(Dir(dir, "report"));
  }
};

QTEST_MAIN(ConfigureDialogTest)
#include "configure_dialog_test.moc"
