// Where secrets can be kept away from the settings file: the desktop's keyring where one
// answers. The Qt side (platform/qt/QtSecretStore.h) implements it.
#pragma once

#include <optional>
#include <string>

namespace larkspire {

class ISecretStore {
 public:
  virtual ~ISecretStore() = default;
  // Whether a keyring answers at all.
  virtual bool Available() = 0;
  // The secret kept under name: empty when none is; nothing when no keyring answered.
  virtual std::optional<std::string> Read(const std::string& name) = 0;
  // Keeps the secret (an empty one removes what is kept); false when no keyring took it.
  virtual bool Write(const std::string& name, const std::string& secret) = 0;
};

}  // namespace larkspire
