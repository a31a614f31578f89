// A small file system of its own (tmpfs) for tests of a full or read-only logging directory.
// Mounting needs root; Mounted() is false elsewhere and such tests skip.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace larkspire {

class CSmallDisk {
 public:
  // Mounts a fresh tmpfs of the given size over the (existing, empty) directory.
  explicit CSmallDisk(std::string path, std::size_t bytes = 64 * 1024) : path_(std::move(path)) {
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  }
  ~CSmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  CSmallDisk(const CSmallDisk&) = delete;
  CSmallDisk& operator=(const CSmallDisk&) = delete;

  bool Mounted() const { return mounted_; }

  // Takes every free byte with a filler file; true when the disk reported itself full.
  bool Fill() {
    const int fd = ::open((path_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string block(4096, 'f');
    bool full = false;
    for (;;) {
      const ssize_t n = ::write(fd, block.data(), block.size());
      if (n > 0) continue;
      full = n < 0 && errno == ENOSPC;
      break;
    }
    ::close(fd);
    return full;
  }

  // Makes the whole file system read-only (root included).
  bool MakeReadOnly() {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace larkspire
