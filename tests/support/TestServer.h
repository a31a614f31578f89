// A scripted TCP server on a loopback ephemeral port, for network tests. Every accepted
// connection runs the handler on a thread of its own; all reads wait in short slices and give
// up when the server is being destroyed, so a handler that "never answers" still ends.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace larkspire {

// The server's side of one connection.
class CTestConnection {
 public:
  CTestConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
  ~CTestConnection() { Close(); }
  CTestConnection(const CTestConnection&) = delete;
  CTestConnection& operator=(const CTestConnection&) = delete;

  bool Stopping() const { return stopping_.load(); }
  // The socket, for a handler that layers a protocol of its own (TLS) over it.
  int Fd() const { return fd_; }

  // Writes all bytes; false when the peer has gone.
  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // Everything up to and including the terminator; nothing when the peer closes, the server
  // stops or the time runs out first.
  std::optional<std::string> ReadUntil(std::string_view terminator, int timeout_ms = 10000) {
    const auto deadline = Deadline(timeout_ms);
    for (;;) {
      const std::size_t at = buffer_.find(terminator);
      if (at != std::string::npos) {
        std::string out = buffer_.substr(0, at + terminator.size());
        buffer_.erase(0, at + terminator.size());
        return out;
      }
      if (!Fill(deadline)) return std::nullopt;
    }
  }

  std::optional<std::string> ReadExactly(std::size_t count, int timeout_ms = 10000) {
    const auto deadline = Deadline(timeout_ms);
    while (buffer_.size() < count) {
      if (!Fill(deadline)) return std::nullopt;
    }
    std::string out = buffer_.substr(0, count);
    buffer_.erase(0, count);
    return out;
  }

  // Whether anything arrives within the time (it stays unread).
  bool DataArrives(int timeout_ms) {
    if (!buffer_.empty()) return true;
    Fill(Deadline(timeout_ms));
    return !buffer_.empty();
  }

  // Reads and keeps everything until the peer closes; true when it did close in time.
  bool WaitForPeerClose(int timeout_ms = 10000) {
    const auto deadline = Deadline(timeout_ms);
    while (!peer_closed_) {
      if (!Fill(deadline) && !peer_closed_) return false;
    }
    return true;
  }

  // Holds the connection open without answering until the peer closes or the server stops.
  void Stall() {
    while (!Stopping() && !peer_closed_) Fill(Deadline(1000));
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes with a reset instead of an orderly end.
  void Reset() {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Close();
  }

  const std::string& Unread() const { return buffer_; }

 private:
  using Clock = std::chrono::steady_clock;
  static Clock::time_point Deadline(int timeout_ms) {
    return Clock::now() + std::chrono::milliseconds(timeout_ms);
  }

  // One read of whatever is there, waiting in 20 ms slices; false on close, stop or deadline.
  bool Fill(Clock::time_point deadline) {
    while (!Stopping() && !peer_closed_ && Clock::now() < deadline) {
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, 20) <= 0) continue;
      char chunk[65536];
      const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) {
        peer_closed_ = true;
        return false;
      }
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    return false;
  }

  int fd_;
  const std::atomic<bool>& stopping_;
  std::string buffer_;
  bool peer_closed_ = false;
};

class CTestServer {
 public:
  using Handler = std::function<void(CTestConnection&)>;

  // family AF_INET6 listens on ::1 instead of 127.0.0.1.
  explicit CTestServer(Handler handler, int family = AF_INET)
      : handler_(std::move(handler)), family_(family) {
    listen_fd_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (family == AF_INET6) {
      sockaddr_in6 address{};
      address.sin6_family = AF_INET6;
      address.sin6_addr = in6addr_loopback;
      ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
      socklen_t length = sizeof address;
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
      port_ = ntohs(address.sin6_port);
    } else {
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
      socklen_t length = sizeof address;
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
      port_ = ntohs(address.sin_port);
    }
    ::listen(listen_fd_, 16);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  }

  ~CTestServer() {
    stopping_ = true;
    acceptor_.join();
    for (std::thread& handler : handlers_) handler.join();
    ::close(listen_fd_);
  }
  CTestServer(const CTestServer&) = delete;
  CTestServer& operator=(const CTestServer&) = delete;

  int Port() const { return port_; }
  std::string HostPort() const {
    return (family_ == AF_INET6 ? "[::1]:" : "127.0.0.1:") + std::to_string(port_);
  }
  int Accepted() const { return accepted_.load(); }

  // Waits until the given number of handler runs have finished.
  bool WaitForFinished(int count, int timeout_ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return finished_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [&] { return finished_ >= count; });
  }
  bool WaitForAccepted(int count, int timeout_ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (accepted_.load() < count) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  void AcceptLoop() {
    while (!stopping_) {
      pollfd entry{listen_fd_, POLLIN, 0};
      if (::poll(&entry, 1, 20) <= 0) continue;
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++accepted_;
      handlers_.emplace_back([this, fd] {
        {
          CTestConnection connection(fd, stopping_);
          handler_(connection);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ++finished_;
        finished_cv_.notify_all();
      });
    }
  }

  Handler handler_;
  int family_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::thread acceptor_;
  std::vector<std::thread> handlers_;  // touched by the acceptor, joined after it
  std::mutex mutex_;
  std::condition_variable finished_cv_;
  int finished_ = 0;
};

// A loopback port with nothing listening on it (bound, then released).
inline int UnusedLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

// A loopback address where a connect never completes: a listener whose accept queue is full
// drops further SYNs, as a host that drops packets would.
class CUnansweredListener {
 public:
  CUnansweredListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 0);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int i = 0; i < 4; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fillers_.push_back(fd);
    }
  }
  ~CUnansweredListener() {
    for (int fd : fillers_) ::close(fd);
    ::close(listener_);
  }
  CUnansweredListener(const CUnansweredListener&) = delete;
  CUnansweredListener& operator=(const CUnansweredListener&) = delete;

  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace larkspire
