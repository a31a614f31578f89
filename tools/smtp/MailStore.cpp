#include "MailStore.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace larkspire::bench_sink {
namespace {

bool WriteAll(int fd, iovec* parts, int count) {
  while (count > 0) {
    const ssize_t written = writev(fd, parts, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    size_t left = static_cast<size_t>(written);
    while (count > 0 && left >= parts->iov_len) {
      left -= parts->iov_len;
      ++parts;
      --count;
    }
    if (count > 0) {
      parts->iov_base = static_cast<char*>(parts->iov_base) + left;
      parts->iov_len -= left;
    }
  }
  return true;
}

}  // namespace

bool CMailStore::Store(std::string_view sender, std::string_view recipients,
                       std::string_view data) {
  char name[32];
  std::snprintf(name, sizeof name, "/%04u.eml", ++count_);
  const std::string path = directory_ + name;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const std::string head =
      "From: " + std::string(sender) + "\nTo: " + std::string(recipients) + "\n\n";
  iovec parts[2] = {{const_cast<char*>(head.data()), head.size()},
                    {const_cast<char*>(data.data()), data.size()}};
  const bool written = WriteAll(fd, parts, 2);
  return close(fd) == 0 && written;
}

}  // namespace larkspire::bench_sink
