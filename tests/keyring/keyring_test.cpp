// The desktop's keyring through QtKeychain, run twice by run_keyring_test.sh: in a throw-away
// D-Bus session with gnome-keyring's Secret Service (LARKSPIRE_KEYRING=present), and with no
// D-Bus session at all (absent), where the secrets must stay scrambled with a line in the log.
#include <QTest>
#include <chrono>
#include <memory>

#include "net/PasswordScramble.h"
#include "platform/Files.h"
#include "platform/qt/QtSecretStore.h"
#include "run/Run.h"
#include "run/SecretSettings.h"
#include "support/TempDir.h"

using namespace std::string_literals;

namespace larkspire {

class KeyringTest : public QObject {
  Q_OBJECT

 private:
  bool present_ = qgetenv("LARKSPIRE_KEYRING") == "present";
  CTempDir dir_;
  // Each configuration's secrets are kept under its settings file's path.
  CQtSecretStore store_{QString::fromStdString(dir_.File("settings.ini")),
                        std::chrono::seconds(20)};

  std::unique_ptr<CRun> Start(CMemorySettingsBackend& backend) {
    backend.Write(kSettingsGroup, "LogDir", dir_.Path());
    auto run = std::make_unique<CRun>(backend, "");
    run->SetSecretStore(&store_);
    LoadSecrets(*run);
    return run;
  }
  std::string Log() {
    std::string bytes;
    ReadWholeFile(JoinPath(dir_.Path(), "Larkspire.log"), bytes);
    return bytes;
  }

 private slots:
  void TheStoreKeepsAndForgetsSecretsWhereAKeyringAnswers() {
    QCOMPARE(store_.Available(), present_);
    const std::string secret = "p\xC3\xA4ss w\x00rd"s;
    QCOMPARE(store_.Write("Password", secret), present_);
    const std::optional<std::string> read = store_.Read("Password");
    QCOMPARE(read.has_value(), present_);
    if (!present_) return;
    QVERIFY(*read == secret);
    QVERIFY(store_.Write("Password", ""));
    QVERIFY(store_.Read("Password") == std::optional<std::string>(""));
    // Removing what is not there is no failure.
    QVERIFY(store_.Write("Password", ""));
  }

  void TheConfigurationKeepsItsSecretsInTheKeyringOrScrambledInTheFile() {
    CMemorySettingsBackend backend;
    {
      std::unique_ptr<CRun> run = Start(backend);
      run->Settings().Password.Set(ScramblePassword("mail pw"));
      run->Settings().OdpKey.Set(ScramblePassword("odp key"));
      SaveSecrets(*run);
    }
    const std::optional<std::string> stored = backend.Read(kSettingsGroup, "Password");
    if (present_) {
      QVERIFY(!stored);
      QVERIFY(!backend.Read(kSettingsGroup, "OdpKey"));
      QVERIFY(backend.Read(kSettingsGroup, kSecretStoreSetting) == kKeyringStore);
      std::unique_ptr<CRun> next = Start(backend);
      QVERIFY(UnscramblePassword(next->Settings().Password.Text()) == "mail pw");
      QVERIFY(UnscramblePassword(next->Settings().OdpKey.Text()) == "odp key");
      QVERIFY(Log().find("scrambled") == std::string::npos);
    } else {
      QVERIFY(stored == ScramblePassword("mail pw"));
      QVERIFY(!backend.Read(kSettingsGroup, kSecretStoreSetting));
      QVERIFY(Log().find("No keyring answers: the SMTP password and the API key are kept in "
                         "the settings file, only scrambled") != std::string::npos);
    }
  }
};

}  // namespace larkspire

QTEST_GUILESS_MAIN(larkspire::KeyringTest)
#include "keyring_test.moc"
