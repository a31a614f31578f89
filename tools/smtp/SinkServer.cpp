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
#include "sim/ServerBasics.h"

namespace larkspire::bench_sink {

CSinkServer::~CSinkServer() {
  if (listen_fd_ >= 0) close(listen_fd_);
}

std::string CSinkServer::Listen(int port) {
  std::string error;
  listen_fd_ = sim::ListenOnLoopback(port, SOCK_NONBLOCK, port_, error);
  return error;
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
