// An environment variable set (or unset) for one test and put back as it was after it.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace larkspire {

class CScopedVariable {
 public:
  // A null value unsets the variable for the scope.
  CScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  CScopedVariable(const char* name, const std::string& value)
      : CScopedVariable(name, value.c_str()) {}
  ~CScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  CScopedVariable(const CScopedVariable&) = delete;
  CScopedVariable& operator=(const CScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace larkspire
