// The secrets among the settings, the SMTP password and the Open Data Portal's API key: kept in
// the desktop's keyring where one answers, so the settings file holds no trace of them, and
// scrambled in the settings file where none does. In memory both are always held scrambled, as
// the settings file has them, so every reader is the same wherever they are kept.
#pragma once

#include <string>

namespace larkspire {

class CRun;

// Group Settings: "Keyring" while the secrets are kept there; absent otherwise.
inline constexpr const char* kSecretStoreSetting = "SecretStore";
inline constexpr const char* kKeyringStore = "Keyring";

// At start: the secrets from the keyring, when the settings say they are kept there. A keyring
// that does not answer leaves the run without them, and the log says so.
void LoadSecrets(CRun& run);
// After the Configure dialog stored its values: the secrets go into the keyring when one takes
// them (and out of the settings file), else stay scrambled in the file with a line in the log.
// A configuration with neither secret is saved exactly as before.
void SaveSecrets(CRun& run);
// The Configure dialog's line saying where the secrets are kept.
std::string SecretPlaceNote(CRun& run);

}  // namespace larkspire
