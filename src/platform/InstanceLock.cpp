#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace larkspire {

CInstanceLock::~CInstanceLock() { Release(); }

bool CInstanceLock::Acquire(const std::string& path) {
  Release();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return err != EWOULDBLOCK;
  }
  fd_ = fd;
  return true;
}

void CInstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: deleting it would let a starter that opened it a moment earlier lock an
  // orphaned inode while a third one locks a new file, and two instances would run.
  ::close(fd_);
  fd_ = -1;
}

}  // namespace larkspire
