// The Configure, Advanced and Add address dialogs, and the first run through them.
#include <sys/stat.h>

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "GuiTestSupport.h"
#include "app/AppCore.h"
#include "net/PasswordScramble.h"
#include "notify/EmailQueue.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "ui/AddAddressDialog.h"
#include "ui/AdvancedDialog.h"
#include "ui/ConfigureCommand.h"
#include "ui/ConfigureDialog.h"
#include "ui/HandOver.h"
#include "ui/QtText.h"

using namespace larkspire;

namespace {

std::string Dir(const QTemporaryDir& dir, const char* name) {
  return dir.filePath(name).toStdString();
}

QLineEdit* Field(QWidget* dialog, const char* name) { return dialog->findChild<QLineEdit*>(name); }
QPushButton* Button(QWidget* dialog, const char* name) {
  return dialog->findChild<QPushButton*>(name);
}
void Set(QWidget* dialog, const char* name, const std::string& text) {
  Field(dialog, name)->setText(ToQt(text));
}

constexpr const char* kKeyMessage =
    "Please enter your Open Data Portal API key, or set USPTO_API_KEY for the program. (A key "
    "comes with an account at data.uspto.gov.)";

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
    CGuiTestApp test;
    test.App().Settings().Install.Set(Dir(dir, "app"));
    test.App().Settings().ShortcutFolder.Set("");
    MakeDirectories(Dir(dir, "app"));
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.show();
    QPushButton* ok = Button(&dialog, "ok");
    // Each step fixes the field the last OK complained about.
    auto press = [&](const char* expected_message, const char* expected_focus) {
      test.messages.clear();
      ok->click();
      QCOMPARE(Joined(test.messages), std::string(expected_message));
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
    test.answers = {{"does not exist", MsgAnswer::kNo}};
    test.messages.clear();
    ok->click();
    QCOMPARE(test.messages,
             (std::vector<std::string>{"Logging directory does not exist. Do you want it created?",
                                       "Logging directory was not created."}));
    QCOMPARE(dialog.focusWidget()->objectName(), QString("logDir"));
    Set(&dialog, "reportDir", "");
    test.answers = {{"does not exist", MsgAnswer::kYes}};
    press(
        "Logging directory does not exist. Do you want it created?\n"
        "Please enter a directory for storing the report.",
        "reportDir");
    QVERIFY(IsDirectory(Dir(dir, "app/Log")));

    Set(&dialog, "reportDir", Dir(dir, "reports"));
    // A first configuration proposes the Open Data Portal, which needs a key.
    QVERIFY(dialog.findChild<QRadioButton*>("sourceOdp")->isChecked());
    test.messages.clear();
    ok->click();
    QCOMPARE(test.messages,
             (std::vector<std::string>{"Report directory does not exist. Do you want it created?",
                                       kKeyMessage}));
    QCOMPARE(dialog.focusWidget()->objectName(), QString("odpKey"));
    Set(&dialog, "odpKey", "k3y of the office");
    test.messages.clear();
    ok->click();
    QVERIFY(test.messages.empty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(test.App().Settings().StatusSource.Text(), std::string("ODP"));
    QCOMPARE(test.App().Settings().OdpKey.Text(), ScramblePassword("k3y of the office"));
    QCOMPARE(test.App().Settings().OrgName.Text(), std::string("Hollis & Marsh"));
    QCOMPARE(test.App().Settings().NotifyAddress.Items(),
             std::vector<std::string>{"ann@hollis.example"});
    QCOMPARE(test.App().Settings().LogDir.Text(), Dir(dir, "app/Log"));
    QVERIFY(IsDirectory(Dir(dir, "app/Log/Larkspire")));
  }

  void theProbeCreatesAMissingNestedDirectoryAfterYes() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    CConfigureDialog dialog(test.App(), nullptr);
    const std::string nested = Dir(dir, "srv/larkspire/html/reports");
    Set(&dialog, "reportDir", nested);
    test.answers = {{"does not exist", MsgAnswer::kYes}};
    Button(&dialog, "ok")->click();
    QCOMPARE(test.messages,
             std::vector<std::string>{"Report directory does not exist. Do you want it created?"});
    QVERIFY(IsDirectory(nested));
    QCOMPARE(test.App().Settings().ReportDir.Text(), nested);
  }

  void cancelStoresNothing() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    CConfigureDialog dialog(test.App(), nullptr);
    Set(&dialog, "orgName", "Changed");
    Button(&dialog, "cancel")->click();
    QCOMPARE(test.App().Settings().OrgName.Text(), std::string("Hollis & Marsh"));
  }

  void advancedDialogKeepsThePasswordScrambled() {
    QTemporaryDir dir;
    CGuiTestApp test;
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

  void deleteAsksAndSelectsTheItemThatTakesThePlace() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    test.App().Settings().NotifyAddress.Items() = {"a@x.example", "b@x.example", "c@x.example"};
    CConfigureDialog dialog(test.App(), nullptr);
    auto* addresses = dialog.findChild<QComboBox*>("notifyAddresses");
    QCOMPARE(addresses->currentIndex(), 0);
    addresses->setCurrentIndex(1);
    test.answers = {{"delete", MsgAnswer::kNo}};
    Button(&dialog, "deleteAddress")->click();
    QCOMPARE(addresses->count(), 3);
    QCOMPARE(test.messages,
             std::vector<std::string>{"Are you sure that you want to delete this entry?"});
    test.answers = {{"delete", MsgAnswer::kYes}};
    Button(&dialog, "deleteAddress")->click();
    QCOMPARE(addresses->count(), 2);
    QCOMPARE(addresses->currentText(), QString("c@x.example"));
    Button(&dialog, "deleteAddress")->click();
    QCOMPARE(addresses->currentText(), QString("a@x.example"));
  }

  void theLoggingDirectoryIsLockedWhileEmailIsPending() {
    QTemporaryDir dir;
    CGuiTestApp test;
    Fill(test, dir);
    QVERIFY(SaveFileAtomically(JoinPath(test.App().Settings().LogDir.Text(), kPendingListName),
                               "Larkspire_s1234567.tmp\r\n"));
    QVERIFY(EmailPending(test.App()));
    CConfigureDialog dialog(test.App(), nullptr);
    QCOMPARE(test.messages,
             std::vector<std::string>{"There is pending e-mail to send. You will not be able to "
                                      "change the logging directory until you send or delete the "
                                      "e-mail."});
    QVERIFY(!Field(&dialog, "logDir")->isEnabled());
    QVERIFY(Field(&dialog, "reportDir")->isEnabled());

    RemoveFile(JoinPath(test.App().Settings().LogDir.Text(), kPendingListName));
    test.messages.clear();
    CConfigureDialog unlocked(test.App(), nullptr);
    QVERIFY(test.messages.empty());
    QVERIFY(Field(&unlocked, "logDir")->isEnabled());
  }

  void firstRunFromEmptySettingsConfiguresInstallsAndQueuesTheWelcome() {
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
    MakeDirectories(Dir(dir, "download"));
    const std::string program = Dir(dir, "download/") + kProgramFileName;
    QVERIFY(SaveFileAtomically(program, "\177ELF program"));
    ::chmod(program.c_str(), 0755);

    CGuiTestApp test(program);
    QVERIFY(test.App().Settings().OrgName.Text().empty());
    test.answers = {{"Do you agree to these terms?", MsgAnswer::kYes},
                    {"does not exist", MsgAnswer::kYes},
                    {"test your e-mail connection", MsgAnswer::kNo}};
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
    QCOMPARE(test.captions.at(0), std::string(kCaption) + " - Disclaimer");
    const std::vector<std::string> expected = {
        test.messages.at(0),
        "Shortcuts folder does not exist. Do you want it created?",
        "Application directory does not exist. Do you want it created?",
        "Logging directory does not exist. Do you want it created?",
        "Report directory does not exist. Do you want it created?",
        test.messages.at(5),
        std::string("A shortcut to ") + kProgramFileName +
            " has been added to the Start Menu under \"Grantwell\"."};
    QCOMPARE(test.messages, expected);
    QVERIFY(test.messages[5].find("test your e-mail connection") != std::string::npos);

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
    qunsetenv("XDG_DATA_HOME");
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
    test.messages.clear();
    Button(dialog.get(), "ok")->click();
    QCOMPARE(dialog->focusWidget()->objectName(), QString("odpCustomerNumbers"));
    QCOMPARE(test.messages.size(), size_t{1});
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
    test.App().Settings().OdpCaFile.Set(ca + "/ca.pem");
    CConfigureDialog dialog(test.App(), nullptr);
    dialog.findChild<QRadioButton*>("sourceOdp")->setChecked(true);
    for (const auto& [key, answer] : std::vector<std::pair<const char*, const char*>>{
             {"good-key", "The Open Data Portal accepted the key: it answered 200 OK and serves "},
             {"new-key",
              "The Open Data Portal refused the API key (it answered 403 Forbidden: "
              "The API key is not yet active)."}}) {
      Set(&dialog, "odpKey", key);
      test.messages.clear();
      Button(&dialog, "checkOdpKey")->click();
      QCOMPARE(test.messages.size(), size_t{1});
      QVERIFY2(test.messages[0].starts_with(answer), test.messages[0].c_str());
      QCOMPARE(test.captions[test.captions.size() - 1],
               std::string(kCaption) + " - Open Data Portal Key");
    }
    // Checking stores nothing.
    QCOMPARE(test.App().Settings().OdpKey.Text(), std::string());
    sim.terminate();
    sim.waitForFinished(5000);
  }

  void refusingTheDisclaimerClosesTheWindow() {
    CGuiTestApp test;
    QVERIFY(!RunConfigure(test.App(), nullptr));
    QCOMPARE(test.Ui().close_requests, 1);
    QCOMPARE(test.messages.size(), size_t{1});
  }

  void quittingAnUnfinishedConfigurationClosesTheWindow() {
    CGuiTestApp test;
    test.answers = {{"Do you agree", MsgAnswer::kYes}, {"Do you want to quit?", MsgAnswer::kNo}};
    int dialogs = 0;
    // Both dialogs are cancelled; after the first the user goes round again, after the second
    // they quit.
    std::function<void(CConfigureDialog*)> cancel = [&](CConfigureDialog* dialog) {
      if (++dialogs == 1) {
        test.answers[1].second = MsgAnswer::kNo;
        WhenModal<CConfigureDialog>(cancel);
      } else {
        test.answers[1].second = MsgAnswer::kYes;
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
    CGuiTestApp test(unpacked);
    Fill(test, dir);
    ScheduleProgramStart("");
    QVERIFY(!RunInstallationStep(test.App(), nullptr, false));
    const std::string installed = JoinPath(Dir(dir, "app"), kProgramFileName);
    std::string copied;
    QVERIFY(ReadWholeFile(installed, copied));
    QCOMPARE(copied, std::string("\177ELF newer program"));
    // No question in an upgrade run; the installed copy starts once this run has closed.
    QVERIFY(test.messages.empty());
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
