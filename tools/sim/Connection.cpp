#include "Connection.h"

#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace larkspire::sim {

EWait WaitFor(int fd, short events, int stop_fd, int timeout_ms) {
  pollfd fds[2] = {{fd, events, 0}, {stop_fd, POLLIN, 0}};
  while (true) {
    const int n = poll(fds, 2, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return EWait::kTimedOut;
    if (fds[1].revents) return EWait::kStopped;
    return EWait::kReady;
  }
}

CConnection::CConnection(int fd, int stop_fd, SSL_CTX* tls) : fd_(fd), stop_fd_(stop_fd) {
  if (!tls) return;
  ssl_ = SSL_new(tls);
  if (ssl_) SSL_set_fd(ssl_, fd_);
}

CConnection::~CConnection() {
  if (ssl_) SSL_free(ssl_);
  close(fd_);
}

bool CConnection::WaitForTls(int result, int timeout_ms) {
  switch (SSL_get_error(ssl_, result)) {
    case SSL_ERROR_WANT_READ:
      return WaitFor(fd_, POLLIN, stop_fd_, timeout_ms) == EWait::kReady;
    case SSL_ERROR_WANT_WRITE:
      return WaitFor(fd_, POLLOUT, stop_fd_, timeout_ms) == EWait::kReady;
    default:
      return false;
  }
}

bool CConnection::Open(int timeout_ms, std::string& error) {
  if (!ssl_) return true;
  while (true) {
    ERR_clear_error();
    const int result = SSL_accept(ssl_);
    if (result == 1) return true;
    const unsigned long code = ERR_peek_error();
    if (!WaitForTls(result, timeout_ms)) {
      char text[256] = "the client went away or took too long";
      if (code) ERR_error_string_n(code, text, sizeof text);
      error = std::string("TLS handshake failed: ") + text;
      return false;
    }
  }
}

long CConnection::Read(char* buffer, size_t size, int timeout_ms) {
  while (true) {
    if (ssl_) {
      ERR_clear_error();
      errno = 0;
      const int got = SSL_read(ssl_, buffer, static_cast<int>(size));
      if (got > 0) return got;
      const int reason = SSL_get_error(ssl_, got);
      // A client that closes without close_notify ends the stream as well.
      if (reason == SSL_ERROR_ZERO_RETURN || (reason == SSL_ERROR_SYSCALL && errno == 0)) return 0;
      if (!WaitForTls(got, timeout_ms)) return -1;
      continue;
    }
    if (WaitFor(fd_, POLLIN, stop_fd_, timeout_ms) != EWait::kReady) return -1;
    const ssize_t got = recv(fd_, buffer, size, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    return got < 0 ? -1 : static_cast<long>(got);
  }
}

bool CConnection::Write(std::string_view data, int timeout_ms) {
  while (!data.empty()) {
    if (ssl_) {
      ERR_clear_error();
      const int sent = SSL_write(ssl_, data.data(), static_cast<int>(data.size()));
      if (sent > 0) {
        data.remove_prefix(static_cast<size_t>(sent));
      } else if (!WaitForTls(sent, timeout_ms)) {
        return false;
      }
      continue;
    }
    if (WaitFor(fd_, POLLOUT, stop_fd_, timeout_ms) != EWait::kReady) return false;
    const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void CConnection::DrainUntilClosed() {
  char sink[512];
  while (Read(sink, sizeof sink, -1) > 0) {
  }
}

void CConnection::Finish() {
  if (ssl_) SSL_shutdown(ssl_);
  shutdown(fd_, SHUT_WR);
}

void CConnection::Reset() {
  linger hard{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

}  // namespace larkspire::sim
