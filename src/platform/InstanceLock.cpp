#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr mode_t kLockFileMode = 0644;

bool WritingRefused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// The lock file, opened for writing where allowed and read-only where not; -1 with errno when
// it can be neither opened nor created.
int OpenLockFile(const std::string& path) {
  // A second round covers another starter creating the file between our two opens.
  for (int round = 0; round < 2; ++round) {
    int fd = OpenRegularFile(path, O_RDWR);
    if (fd >= 0) return fd;
    if (WritingRefused(errno)) return OpenRegularFile(path, O_RDONLY);
    if (errno != ENOENT) return -1;
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kLockFileMode);
    if (fd >= 0) {
      // The umask of whoever starts first must not lock the others out.
      ::fchmod(fd, kLockFileMode);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

CInstanceLock::~CInstanceLock() { Release(); }

LockOutcome CInstanceLock::Acquire(const std::string& path) {
  Release();
  error_ = 0;
  const int fd = OpenLockFile(path);
  if (fd < 0) {
    error_ = errno;
    return LockOutcome::kUnavailable;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return LockOutcome::kHeldElsewhere;
    error_ = error;
    return LockOutcome::kUnavailable;
  }
  fd_ = fd;
  return LockOutcome::kHeld;
}

void CInstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: deleting it would let a starter that opened it a moment earlier lock an
  // orphaned inode while a third one locks a new file, and two instances would run.
  ::close(fd_);
  fd_ = -1;
}

}  // namespace larkspire
