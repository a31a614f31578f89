#include "SinkConnection.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "SmtpSession.h"

namespace larkspire::bench_sink {
namespace {

// A line longer than this without its CR LF ends the session (RFC 5321 allows 1,000 octets).
constexpr size_t kMaxLine = 65536;
// After the unfinished line moves to the front, a read still has three quarters of it.
constexpr size_t kBufferSize = 4 * kMaxLine;

class CLink {
 public:
  explicit CLink(int fd) : fd_(fd) {}
  ~CLink() {
    if (ssl_) SSL_free(ssl_);
  }
  CLink(const CLink&) = delete;
  CLink& operator=(const CLink&) = delete;

  // Bytes read, or 0 at the end of the stream or on an error.
  size_t Read(char* buffer, size_t size) {
    if (ssl_) {
      const int got = SSL_read(ssl_, buffer, static_cast<int>(size));
      return got > 0 ? static_cast<size_t>(got) : 0;
    }
    while (true) {
      const ssize_t got = recv(fd_, buffer, size, 0);
      if (got < 0 && errno == EINTR) continue;
      return got > 0 ? static_cast<size_t>(got) : 0;
    }
  }

  bool Write(std::string_view data) {
    if (ssl_) return SSL_write(ssl_, data.data(), static_cast<int>(data.size())) > 0;
    while (!data.empty()) {
      const ssize_t sent = send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) return false;
      data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
  }

  // Plain text TLS has decrypted but not handed over yet: the rest of a record the buffer
  // had no room for.
  bool HasPending() const { return ssl_ && SSL_pending(ssl_) > 0; }

  // The server's handshake; it holds up this session alone.
  bool StartTls(SSL_CTX* context) {
    ssl_ = SSL_new(context);
    return ssl_ && SSL_set_fd(ssl_, fd_) == 1 && SSL_accept(ssl_) == 1;
  }

 private:
  int fd_;
  SSL* ssl_ = nullptr;
};

}  // namespace

void ServeConnection(int fd, SSL_CTX* tls, CMailStore& store) {
  CLink link(fd);
  CSmtpSession session(store, tls != nullptr);
  if (!link.Write(kGreeting)) return;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
  size_t filled = 0;
  std::string replies;
  while (true) {
    const size_t got = link.Read(buffer.get() + filled, kBufferSize - filled);
    if (got == 0) return;
    filled += got;
    size_t taken = 0;
    ENext next = ENext::kGoOn;
    while (next == ENext::kGoOn) {
      const std::string_view rest(buffer.get() + taken, filled - taken);
      const size_t end = rest.find("\r\n");
      if (end == std::string_view::npos) break;
      taken += end + 2;
      next = session.TakeLine(rest.substr(0, end), replies);
    }
    if (next == ENext::kGoOn) {
      filled -= taken;
      if (filled > kMaxLine) {
        next = ENext::kEnd;
      } else {
        std::memmove(buffer.get(), buffer.get() + taken, filled);
        if (link.HasPending()) continue;
      }
    }
    if (!replies.empty()) {
      if (!link.Write(replies)) return;
      replies.clear();
    }
    if (next == ENext::kEnd) return;
    if (next == ENext::kStartTls) {
      // Whatever the client sent after STARTTLS was sent in clear text: it is dropped
      // (RFC 3207), never taken as said over TLS.
      filled = 0;
      if (!link.StartTls(tls)) return;
      session.StartedTls();
    }
  }
}

}  // namespace larkspire::bench_sink
