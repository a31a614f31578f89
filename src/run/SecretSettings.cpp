#include "run/SecretSettings.h"

#include <array>
#include <optional>

#include "net/PasswordScramble.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kOnlyScrambled =
    "No keyring answers: the SMTP password and the API key are kept in the settings file, "
    "only scrambled (not encrypted).";
constexpr const char* kInKeyring =
    "The SMTP password and the API key are kept in the desktop's keyring.";

std::array<CSetting*, 2> Secrets(CSettings& settings) {
  return {&settings.Password, &settings.OdpKey};
}

bool KeptInKeyring(CSettings& settings) {
  return settings.Backend().Read(kSettingsGroup, kSecretStoreSetting).value_or("") == kKeyringStore;
}

}  // namespace

void LoadSecrets(CRun& run) {
  CSettings& settings = run.Settings();
  if (!KeptInKeyring(settings)) return;
  ISecretStore* store = run.Secrets();
  bool answered = store != nullptr;
  for (CSetting* setting : Secrets(settings)) {
    setting->KeepOutOfFile(true);
    // One unanswered question is enough: the next would wait as long again.
    std::optional<std::string> secret = answered ? store->Read(setting->Name()) : std::nullopt;
    if (!secret) {
      answered = false;
      continue;
    }
    setting->Set(ScramblePassword(*secret));
  }
  if (!answered) {
    run.Log().Write(
        "**no keyring answered: this run has neither the SMTP password nor the API key**\n");
  }
}

void SaveSecrets(CRun& run) {
  CSettings& settings = run.Settings();
  bool any = KeptInKeyring(settings);
  for (CSetting* setting : Secrets(settings)) any = any || !setting->Text().empty();
  if (!any) return;
  ISecretStore* store = run.Secrets();
  bool kept = store != nullptr;
  for (CSetting* setting : Secrets(settings)) {
    kept = kept && store->Write(setting->Name(), UnscramblePassword(setting->Text()));
  }
  for (CSetting* setting : Secrets(settings)) {
    setting->KeepOutOfFile(kept);
    setting->Save();
  }
  if (kept) {
    settings.Backend().Write(kSettingsGroup, kSecretStoreSetting, kKeyringStore);
  } else {
    settings.Backend().Remove(kSettingsGroup, kSecretStoreSetting);
    run.Log().Write("**%s**\n", kOnlyScrambled);
  }
  settings.Backend().Flush();
}

std::string SecretPlaceNote(CRun& run) {
  ISecretStore* store = run.Secrets();
  return store != nullptr && store->Available() ? kInKeyring : kOnlyScrambled;
}

}  // namespace larkspire
