#include "SinkServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "SinkConnection.h"

namespace larkspire::bench_sink {

CSinkServer::~CSinkServer() {
  if (listen_fd_ >= 0) close(listen_fd_);
}

std::string CSinkServer::Listen(int port) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listen_fd_ < 0) return std::string("socket: ") + std::strerror(errno);
  const int yes = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_fd_, 128) != 0) {
    return "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
  }
  socklen_t length = sizeof address;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return "";
}

void CSinkServer::Serve(int stop_fd) {
  while (true) {
    pollfd fds[2] = {{stop_fd, POLLIN, 0}, {listen_fd_, POLLIN, 0}};
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents) break;
    if (!(fds[1].revents & POLLIN)) continue;
    // The accepted socket blocks: its thread has nothing else to wait for.
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    JoinEndedSessions();
    StartSession(fd);
  }
  EndSessions();
}

void CSinkServer::StartSession(int fd) {
  const std::lock_guard lock(mutex_);
  CSession& session = sessions_.emplace_back(CSession{{}, fd});
  session.thread = std::thread([this, &session, fd] {
    ServeConnection(fd, tls_, store_);
    const std::lock_guard lock(mutex_);
    close(fd);
    session.fd = -1;
  });
}

void CSinkServer::JoinEndedSessions() {
  const std::lock_guard lock(mutex_);
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    if (it->fd >= 0) {
      ++it;
      continue;
    }
    it->thread.join();
    it = sessions_.erase(it);
  }
}

void CSinkServer::EndSessions() {
  {
    const std::lock_guard lock(mutex_);
    for (const CSession& session : sessions_) {
      if (session.fd >= 0) shutdown(session.fd, SHUT_RDWR);
    }
  }
  for (CSession& session : sessions_) session.thread.join();
  sessions_.clear();
}

}  // namespace larkspire::bench_sink
