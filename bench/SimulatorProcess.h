// The simulator (larkspire-sim) as a child process for the lifetime of the object, for the
// benchmarks that fetch over loopback as the demo does, and its control requests.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace larkspire {

class CSimulatorProcess {
 public:
  // Starts the simulator with these options after "--port 0"; Address() is "" when it did not
  // start. With --odp-port the second line names the service's port.
  explicit CSimulatorProcess(const std::vector<std::string>& options) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return;
    std::vector<std::string> args = {LARKSPIRE_SIM_PROGRAM, "--port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(pipe_fds[1], STDOUT_FILENO);
      if (std::FILE* null = std::fopen("/dev/null", "w")) ::dup2(::fileno(null), STDERR_FILENO);
      ::close(pipe_fds[0]);
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(pipe_fds[1]);
    address_ = PortLine(pipe_fds[0], "listening on ");
    for (const std::string& option : options) {
      if (option == "--odp-port") odp_address_ = PortLine(pipe_fds[0], "odp listening on ");
    }
    ::close(pipe_fds[0]);
  }
  ~CSimulatorProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  CSimulatorProcess(const CSimulatorProcess&) = delete;
  CSimulatorProcess& operator=(const CSimulatorProcess&) = delete;

  // "127.0.0.1:PORT" of the proxy and of the service, or "".
  const std::string& Address() const { return address_; }
  const std::string& OdpAddress() const { return odp_address_; }

  // The body of a control request such as "date?set=2008-07-01" or "odp".
  std::string Control(const std::string& query) const {
    const std::size_t colon = address_.rfind(':');
    if (colon == std::string::npos) return "";
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(std::stoi(address_.substr(colon + 1))));
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) {
      const std::string request = "GET /__sim/" + query + " HTTP/1.0\r\n\r\n";
      if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
          response.append(buffer, static_cast<std::size_t>(n));
        }
      }
    }
    ::close(fd);
    const std::size_t body = response.find("\r\n\r\n");
    return body == std::string::npos ? "" : response.substr(body + 4);
  }

 private:
  // "127.0.0.1:PORT" from the line that starts with prefix, or "".
  static std::string PortLine(int fd, const std::string& prefix) {
    std::string line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') line += c;
    return line.starts_with(prefix) ? line.substr(prefix.size()) : "";
  }

  pid_t pid_ = -1;
  std::string address_;
  std::string odp_address_;
};

}  // namespace larkspire
