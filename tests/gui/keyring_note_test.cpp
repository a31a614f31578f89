// The Configure dialog's line on where the secrets are kept, and its OK putting them there.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "app/AppCore.h"
#include "net/PasswordScramble.h"
#include "platform/Files.h"
#include "run/SecretSettings.h"
#include "support/GuiTestApp.h"
#include "support/MemorySecretStore.h"
#include "ui/ConfigureDialog.h"
#include "ui/QtText.h"

using namespace larkspire;

class KeyringNoteTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qunsetenv("USPTO_API_KEY"); }

  void theNoteSaysWhereOkKeepsThePassword() {
    const struct {
      bool keyring_answers;
      const char* note;
      bool password_in_file;
    } cases[] = {
        {true, "The SMTP password and the API key are kept in the desktop's keyring.", false},
        {false,
         "No keyring answers: the SMTP password and the API key are kept in the settings file, "
         "only scrambled (not encrypted).",
         true},
    };
    for (const auto& c : cases) {
      CGuiTestApp test({{"SmtpServer", "mail.hollis.example"},
                        {"ReturnAddress", "docket@hollis.example"},
                        {"NotifyAddress1", "ann@hollis.example"},
                        {"Password", ScramblePassword("old pw")}});
      CSettings& s = test.App().Settings();
      for (const char* name : {"menu", "app"}) MakeDirectories(test.dir.File(name));
      s.ShortcutFolder.Set(test.dir.File("menu"));
      s.Install.Set(test.dir.File("app"));
      CMemorySecretStore store;
      store.answers = c.keyring_answers;
      test.App().SetSecretStore(&store);

      CConfigureDialog dialog(test.App(), nullptr);
      QCOMPARE(dialog.findChild<QLabel*>("keyringNote")->text(), ToQt(c.note));
      dialog.findChild<QPushButton*>("ok")->click();
      QVERIFY2(test.Ui().Texts().empty(),
               test.Ui().Texts().empty() ? "" : test.Ui().Texts()[0].c_str());
      const std::optional<std::string> stored = s.Backend().Read(kSettingsGroup, "Password");
      QCOMPARE(stored.has_value(), c.password_in_file);
      QCOMPARE(store.secrets.count("Password"), c.keyring_answers ? 1u : 0u);
      QVERIFY(UnscramblePassword(s.Password.Text()) == "old pw");
      test.App().SetSecretStore(nullptr);
    }
  }
};

QTEST_MAIN(KeyringNoteTest)
#include "keyring_note_test.moc"
