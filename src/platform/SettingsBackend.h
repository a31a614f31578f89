// Where settings live. The product's values sit at the top level (group ""), the rest in the
// group "Settings", mirroring the registry key and its subkey of the Windows program.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace larkspire {

class ISettingsBackend {
 public:
  virtual ~ISettingsBackend() = default;
  // Values are single strings, always; a missing value gives nothing.
  virtual std::optional<std::string> Read(const std::string& group, const std::string& name) = 0;
  // Failures are swallowed: a value that cannot be written is simply lost.
  virtual void Write(const std::string& group, const std::string& name,
                     const std::string& value) = 0;
  // Returns false when there was no such value, so list settings can stop deleting.
  virtual bool Remove(const std::string& group, const std::string& name) = 0;
  virtual void Flush() {}
};

// Used by tests and by runs that must not touch the user's configuration.
class CMemorySettingsBackend : public ISettingsBackend {
 public:
  std::optional<std::string> Read(const std::string& group, const std::string& name) override {
    auto it = values_.find({group, name});
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  void Write(const std::string& group, const std::string& name, const std::string& value) override {
    values_[{group, name}] = value;
  }
  bool Remove(const std::string& group, const std::string& name) override {
    return values_.erase({group, name}) > 0;
  }
  const std::map<std::pair<std::string, std::string>, std::string>& Values() const {
    return values_;
  }

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace larkspire
