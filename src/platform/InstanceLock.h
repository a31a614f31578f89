// One running instance per logging directory: an exclusive advisory lock on a file in it,
// held for the whole run. The file is never deleted while held (on Linux that would succeed
// and prove nothing).
#pragma once

#include <string>

namespace larkspire {

class CInstanceLock {
 public:
  CInstanceLock() = default;
  ~CInstanceLock();
  CInstanceLock(const CInstanceLock&) = delete;
  CInstanceLock& operator=(const CInstanceLock&) = delete;

  // False when another process holds the lock. A file that cannot be created at all does not
  // refuse the run (the Windows program went on without a lock then too).
  bool Acquire(const std::string& path);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace larkspire
