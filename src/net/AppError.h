// The exceptions of the network layer. Its entry points (HttpGet, SendEmail) catch them and
// return their texts, so nothing above the network layer ever sees one.
#pragma once

#include <new>
#include <stdexcept>
#include <string>

namespace larkspire {

// Carries its own copy of the message, so what() stays valid however the object is copied.
class CAppError : public std::runtime_error {
 public:
  explicit CAppError(const std::string& message) : std::runtime_error(message), message_(message) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A task of a group failed; the message is the one that task recorded.
class CAsyncError : public CAppError {
 public:
  using CAppError::CAppError;
};

class CTimedoutError : public CAppError {
 public:
  CTimedoutError() : CAppError("Operation timed out.") {}
};

class CCanceledError : public CAppError {
 public:
  CCanceledError() : CAppError("Operation canceled.") {}
};

class CThreadsNotDoneError : public CAppError {
 public:
  CThreadsNotDoneError() : CAppError("One or more threads refuses to quit.") {}
};

// The text an exception becomes at the layer's edges; an allocation failure reads the same on
// every platform.
inline std::string ErrorText(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) return "bad allocation";
  return error.what();
}

}  // namespace larkspire
