#include "platform/HeldProgram.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"

extern char** environ;

namespace larkspire {

CHeldProgram::CHeldProgram(std::string path)
    : path_(std::move(path)), fd_(OpenRegularFile(path_, O_RDONLY)) {}

CHeldProgram::~CHeldProgram() { Close(); }

CHeldProgram::CHeldProgram(CHeldProgram&& other) noexcept
    : path_(std::move(other.path_)), fd_(other.fd_) {
  other.fd_ = -1;
}

CHeldProgram& CHeldProgram::operator=(CHeldProgram&& other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void CHeldProgram::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool CHeldProgram::ReadBytes(std::string& out) const {
  out.clear();
  if (fd_ < 0) return false;
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd_, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
}

bool CHeldProgram::StartDetached() const {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  // The started program reports a failed exec through this pipe; a successful exec closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  std::string argv0 = path_;
  char* argv[] = {argv0.data(), nullptr};
  const int fd = fd_;
  // Only calls safe after a fork of a threaded process from here to the exec.
  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(report[0]);
    ::close(report[1]);
    errno = error;
    return false;
  }
  if (child == 0) {
    ::close(report[0]);
    ::setsid();
    // The intermediate child exits at once, so the program is nobody's child here.
    const pid_t program = ::fork();
    if (program > 0) ::_exit(0);
    if (program == 0) ::fexecve(fd, argv, environ);
    // A script is read by its interpreter through /dev/fd/N, which the exec closed: only then
    // is the descriptor handed on.
    if (program == 0 && errno == ENOENT && ::fcntl(fd, F_SETFD, 0) == 0) {
      ::fexecve(fd, argv, environ);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(report[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n = 0;
  while ((n = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (n == static_cast<ssize_t>(sizeof error)) {
    errno = error;
    return false;
  }
  return true;
}

}  // namespace larkspire
