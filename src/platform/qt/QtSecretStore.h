// The desktop's keyring (the Secret Service, or KWallet) through QtKeychain. Its jobs answer
// asynchronously; each is waited for in a local event loop for at most a given time, so a
// keyring that never answers costs that time and nothing more.
#pragma once

#include <QString>
#include <chrono>

#include "platform/SecretStore.h"

namespace larkspire {

class CQtSecretStore : public ISecretStore {
 public:
  // Secrets are kept under the settings file's path, so each configuration has its own.
  CQtSecretStore(const QString& settings_path, std::chrono::milliseconds patience);

  bool Available() override;
  std::optional<std::string> Read(const std::string& name) override;
  bool Write(const std::string& name, const std::string& secret) override;

 private:
  QString Key(const std::string& name) const;

  QString settings_path_;
  std::chrono::milliseconds patience_;
};

// How long to wait for the keyring: a run with a user waits long enough for the user to unlock
// the keyring when it asks; an unattended run must not wait for a question nobody answers.
std::chrono::milliseconds KeyringPatience(bool unattended);

}  // namespace larkspire
