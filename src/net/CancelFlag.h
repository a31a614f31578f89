// The "stop" flag every task record starts with. The user-interface thread sets it when the
// group gives up on the task; the task's connection reads it on the worker thread between
// socket steps. Task records are copied into their workers, so the flag copies its value.
#pragma once

#include <atomic>

namespace larkspire {

class CCancelFlag {
 public:
  CCancelFlag() = default;
  CCancelFlag(const CCancelFlag& other) : value_(other.Get()) {}
  CCancelFlag& operator=(const CCancelFlag& other) {
    Set(other.Get());
    return *this;
  }

  void Set(int value) { value_.store(value); }
  int Get() const { return value_.load(); }
  bool IsSet() const { return Get() != 0; }

 private:
  std::atomic<int> value_{0};
};

}  // namespace larkspire
