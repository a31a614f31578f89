#include "ServerBasics.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace larkspire::sim {
namespace {

int g_stop_pipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(g_stop_pipe[1], &byte, 1);
}

}  // namespace

int ListenOnLoopback(int port, int extra_flags, int& bound_port, std::string& error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | extra_flags, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  const int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 128) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  bound_port = ntohs(address.sin_port);
  return fd;
}

int OpenStopSignal() {
  if (pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return g_stop_pipe[0];
}

void CloseStopSignal() {
  close(g_stop_pipe[0]);
  close(g_stop_pipe[1]);
}

}  // namespace larkspire::sim
