// A keyring in memory for tests: it answers or not as the test says, and counts the questions.
#pragma once

#include <map>
#include <string>

#include "platform/SecretStore.h"

namespace larkspire {

class CMemorySecretStore : public ISecretStore {
 public:
  bool Available() override {
    ++questions;
    return answers;
  }
  std::optional<std::string> Read(const std::string& name) override {
    ++questions;
    if (!answers) return std::nullopt;
    auto it = secrets.find(name);
    return it == secrets.end() ? std::string() : it->second;
  }
  bool Write(const std::string& name, const std::string& secret) override {
    ++questions;
    if (!answers) return false;
    if (secret.empty()) {
      secrets.erase(name);
    } else {
      secrets[name] = secret;
    }
    return true;
  }

  bool answers = true;
  int questions = 0;
  std::map<std::string, std::string> secrets;
};

}  // namespace larkspire
