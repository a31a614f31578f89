// One running instance per logging directory: an exclusive advisory lock on a file in it,
// held for the whole run. The file is never deleted while held (on Linux that would succeed
// and prove nothing).
#pragma once

#include <string>

namespace larkspire {

enum class LockOutcome {
  kHeld,           // this run holds the lock
  kHeldElsewhere,  // another instance holds it
  kUnavailable,    // no lock can be had here; Error() tells why
};

class CInstanceLock {
 public:
  CInstanceLock() = default;
  ~CInstanceLock();
  CInstanceLock(const CInstanceLock&) = delete;
  CInstanceLock& operator=(const CInstanceLock&) = delete;

  // The file is created so that every user of the directory can open it (0644 whatever the
  // umask), and opened read-only when writing it is refused: an flock needs no write access,
  // so a user who may not write the file still takes part in the locking.
  LockOutcome Acquire(const std::string& path);
  void Release();
  bool Held() const { return fd_ >= 0; }
  // The errno of the last kUnavailable.
  int Error() const { return error_; }

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace larkspire
