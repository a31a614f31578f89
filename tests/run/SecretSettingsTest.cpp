#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "net/PasswordScramble.h"
#include "platform/Files.h"
#include "run/Run.h"
#include "run/SecretSettings.h"
#include "support/MemorySecretStore.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

constexpr const char* kOnlyScrambledLine =
    "**No keyring answers: the SMTP password and the API key are kept in the settings file, "
    "only scrambled (not encrypted).**";
constexpr const char* kNoKeyringAtStartLine =
    "**no keyring answered: this run has neither the SMTP password nor the API key**";

// One settings file (in memory) and one keyring, seen by the runs started one after another
// as a user would start the program.
class SecretSettingsTest : public ::testing::Test {
 protected:
  SecretSettingsTest() { backend_.Write(kSettingsGroup, "LogDir", dir_.Path()); }

  // A run as the program starts one: the keyring known, the secrets loaded.
  std::unique_ptr<CRun> Start() {
    auto run = std::make_unique<CRun>(backend_, "");
    run->SetSecretStore(&store_);
    LoadSecrets(*run);
    return run;
  }
  // The Configure dialog's OK with these secrets.
  void Configure(CRun& run, const std::string& password, const std::string& key) {
    run.Settings().Password.Set(ScramblePassword(password));
    run.Settings().OdpKey.Set(ScramblePassword(key));
    SaveSecrets(run);
  }
  std::optional<std::string> Stored(const std::string& name) {
    return backend_.Read(kSettingsGroup, name);
  }
  std::string Log() {
    std::string bytes;
    ReadWholeFile(JoinPath(dir_.Path(), "Larkspire.log"), bytes);
    return bytes;
  }

  CTempDir dir_;
  CMemorySettingsBackend backend_;
  CMemorySecretStore store_;
};

TEST_F(SecretSettingsTest, AnsweringKeyringKeepsTheSecretsAndTheFileHoldsNoTraceOfThem) {
  {
    std::unique_ptr<CRun> run = Start();
    Configure(*run, "mail pw", "odp-key");
    EXPECT_EQ(Stored("Password"), std::nullopt);
    EXPECT_EQ(Stored("OdpKey"), std::nullopt);
    EXPECT_EQ(Stored(kSecretStoreSetting), kKeyringStore);
  }
  // The run's end writes every setting back: still none of the secrets.
  EXPECT_EQ(Stored("Password"), std::nullopt);
  EXPECT_EQ(Stored("OdpKey"), std::nullopt);
  EXPECT_EQ(store_.secrets.at("Password"), "mail pw");
  EXPECT_EQ(store_.secrets.at("OdpKey"), "odp-key");

  std::unique_ptr<CRun> next = Start();
  EXPECT_EQ(UnscramblePassword(next->Settings().Password.Text()), "mail pw");
  EXPECT_EQ(UnscramblePassword(next->Settings().OdpKey.Text()), "odp-key");
  // A secret cleared in the dialog leaves the keyring too.
  Configure(*next, "mail pw", "");
  EXPECT_EQ(store_.secrets.count("OdpKey"), 0u);
  EXPECT_EQ(Log().find("keyring"), std::string::npos);
}

TEST_F(SecretSettingsTest, WithoutAKeyringTheSecretsStayScrambledAndTheLogSaysSo) {
  store_.answers = false;
  std::unique_ptr<CRun> run = Start();
  EXPECT_EQ(store_.questions, 0);  // nothing said they were in a keyring
  Configure(*run, "mail pw", "odp-key");
  EXPECT_EQ(Stored("Password"), ScramblePassword("mail pw"));
  EXPECT_EQ(Stored("OdpKey"), ScramblePassword("odp-key"));
  EXPECT_EQ(Stored(kSecretStoreSetting), std::nullopt);
  EXPECT_NE(Log().find(kOnlyScrambledLine), std::string::npos);
  EXPECT_EQ(SecretPlaceNote(*run),
            "No keyring answers: the SMTP password and the API key are kept in the settings "
            "file, only scrambled (not encrypted).");
}

TEST_F(SecretSettingsTest, AStoredScrambledPasswordWorksAndMovesToTheKeyringAtTheNextSave) {
  backend_.Write(kSettingsGroup, "Password", ScramblePassword("old pw"));
  std::unique_ptr<CRun> run = Start();
  EXPECT_EQ(store_.questions, 0);
  EXPECT_EQ(UnscramblePassword(run->Settings().Password.Text()), "old pw");
  EXPECT_EQ(SecretPlaceNote(*run),
            "The SMTP password and the API key are kept in the desktop's keyring.");
  SaveSecrets(*run);
  EXPECT_EQ(store_.secrets.at("Password"), "old pw");
  EXPECT_EQ(Stored("Password"), std::nullopt);
}

TEST_F(SecretSettingsTest, AKeyringThatStopsAnsweringCostsTheRunItsSecretsButNeverTheFile) {
  Configure(*Start(), "mail pw", "odp-key");
  store_.answers = false;
  store_.questions = 0;
  {
    std::unique_ptr<CRun> run = Start();
    EXPECT_EQ(store_.questions, 1);  // one unanswered question, not one per secret
    EXPECT_EQ(run->Settings().Password.Text(), "");
    EXPECT_NE(Log().find(kNoKeyringAtStartLine), std::string::npos);
  }
  EXPECT_EQ(Stored("Password"), std::nullopt);
  EXPECT_EQ(Stored(kSecretStoreSetting), kKeyringStore);

  // Saved while the keyring is away, new secrets go into the file rather than being lost.
  std::unique_ptr<CRun> run = Start();
  Configure(*run, "new pw", "");
  EXPECT_EQ(Stored("Password"), ScramblePassword("new pw"));
  EXPECT_EQ(Stored(kSecretStoreSetting), std::nullopt);
}

TEST_F(SecretSettingsTest, AConfigurationWithoutSecretsIsSavedAsBefore) {
  std::unique_ptr<CRun> run = Start();
  const auto before = backend_.Values();
  Configure(*run, "", "");
  EXPECT_EQ(backend_.Values(), before);
  EXPECT_EQ(store_.questions, 0);
}

}  // namespace
}  // namespace larkspire
