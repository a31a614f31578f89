// Debian's tinyproxy, started by a test on a loopback port as the office's CONNECT proxy, with a
// configuration written at test time.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestServer.h"

namespace larkspire {

inline constexpr const char* kTinyproxyPath = "/usr/bin/tinyproxy";

class CTinyproxy {
 public:
  // Tunnels are allowed to port 443 and to each of connect_ports; the configuration and the
  // proxy's own log go into dir.
  CTinyproxy(const std::string& dir, const std::vector<int>& connect_ports)
      : port_(UnusedLoopbackPort()), log_path_(dir + "/tinyproxy.log") {
    const std::string config_path = dir + "/tinyproxy.conf";
    {
      std::ofstream config(config_path);
      config << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
             << "MaxClients 8\nLogLevel Info\nLogFile \"" << log_path_ << "\"\n"
             << "ConnectPort 443\n";
      for (int port : connect_ports) config << "ConnectPort " << port << "\n";
    }
    const char* argv[] = {"tinyproxy", "-d", "-c", config_path.c_str(), nullptr};
    // Its output goes to its log file, never into the test's own streams.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawn(&pid_, kTinyproxyPath, &actions, nullptr,
                                      const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = -1;
      return;
    }
    started_ = WaitUntilListening();
  }
  ~CTinyproxy() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  CTinyproxy(const CTinyproxy&) = delete;
  CTinyproxy& operator=(const CTinyproxy&) = delete;

  bool Started() const { return started_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  // What the proxy logged, for a failing test's message.
  std::string Log() const {
    std::ifstream in(log_path_);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  // Until a connection is accepted (the proxy is up) or the process has ended; at most 10 s.
  bool WaitUntilListening() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      address.sin_port = htons(static_cast<uint16_t>(port_));
      const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      ::close(fd);
      if (up) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  int port_;
  std::string log_path_;
  pid_t pid_ = -1;
  bool started_ = false;
};

}  // namespace larkspire
