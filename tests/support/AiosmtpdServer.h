// A real SMTP server implementation (Debian's python3-aiosmtpd) as a child process on loopback,
// driven by tests/support/aiosmtpd_server.py, whose options choose TLS, the AUTH mechanisms and
// greylisting.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace larkspire {

// Debian's interpreter, which has the python3-aiosmtpd package; the first python3 on PATH
// may be another one.
inline constexpr const char* kPython = "/usr/bin/python3";

inline bool PythonCanImport(const std::string& module) {
  return std::system(("/usr/bin/python3 -c 'import " + module + "' >/dev/null 2>&1").c_str()) == 0;
}
inline bool PythonHasAiosmtpd() { return PythonCanImport("aiosmtpd"); }
// The TLS modes make their certificates with python3-trustme.
inline bool PythonHasAiosmtpdAndTrustme() { return PythonCanImport("aiosmtpd, trustme"); }

// The server script as a child process: it prints its port, and ends when its input closes.
class CAiosmtpdServer {
 public:
  // Messages and what the server saw of them go to out_dir (and the test CA's certificate to
  // out_dir/ca.pem when TLS is on); options are the script's own, such as {"--tls", "starttls"}.
  CAiosmtpdServer(const std::string& out_dir, const std::string& user, const std::string& password,
                  const std::vector<std::string>& options = {}) {
    int to_child[2];
    int from_child[2];
    if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
    posix_spawn_file_actions_addclose(&actions, to_child[1]);
    posix_spawn_file_actions_addclose(&actions, from_child[0]);
    const std::string script =
        std::string(LARKSPIRE_SOURCE_DIR) + "/tests/support/aiosmtpd_server.py";
    std::vector<std::string> args = {kPython, script, out_dir, user, password};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(to_child[0]);
    ::close(from_child[1]);
    input_ = to_child[1];
    output_ = from_child[0];
    port_ = ReadPort();
  }

  CAiosmtpdServer(const CAiosmtpdServer&) = delete;
  CAiosmtpdServer& operator=(const CAiosmtpdServer&) = delete;
  ~CAiosmtpdServer() {
    if (input_ >= 0) ::close(input_);
    if (pid_ > 0) {
      // Closing its input ends it; a stuck one is killed after ten seconds.
      for (int waited = 0; waited < 10000; waited += 20) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
          pid_ = -1;
          break;
        }
        ::usleep(20000);
      }
      if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
    }
    if (output_ >= 0) ::close(output_);
  }

  std::optional<int> Port() const { return port_; }

 private:
  std::optional<int> ReadPort() {
    if (pid_ <= 0) return std::nullopt;
    std::string line;
    while (line.find('\n') == std::string::npos) {
      pollfd entry{output_, POLLIN, 0};
      if (::poll(&entry, 1, 20000) <= 0) return std::nullopt;
      char buffer[64];
      const ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n <= 0) return std::nullopt;
      line.append(buffer, static_cast<std::size_t>(n));
    }
    return std::atoi(line.c_str());
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::optional<int> port_;
};

}  // namespace larkspire
