#include "net/TokenCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/Connection.h"
#include "platform/Clock.h"

extern char** environ;

namespace larkspire {
namespace {

constexpr int kPollSliceMs = 50;
// More than any token; a helper that prints more is cut, not buffered without end.
constexpr std::size_t kMostCapturedBytes = 65536;
// The part of the helper's error output an error message quotes.
constexpr std::size_t kMostQuotedBytes = 200;

// One end of a pipe, closed when it goes.
class CPipeEnd {
 public:
  CPipeEnd() = default;
  ~CPipeEnd() { Close(); }
  CPipeEnd(const CPipeEnd&) = delete;
  CPipeEnd& operator=(const CPipeEnd&) = delete;
  int& Fd() { return fd_; }
  bool Open() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

bool MakePipe(CPipeEnd& read_end, CPipeEnd& write_end) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  read_end.Fd() = ends[0];
  write_end.Fd() = ends[1];
  return true;
}

// The first line of the text without its line end and surrounding blanks.
std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  return line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
}

bool IsPrintable(const std::string& text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

// How the process ended, and the start of what it said on its error output.
std::string FailureOf(int status, const std::string& errors) {
  std::string text = WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                         : "exit status " + std::to_string(WEXITSTATUS(status));
  std::string said = FirstLine(errors).substr(0, kMostQuotedBytes);
  for (char& c : said) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return said.empty() ? text : text + ": " + said;
}

// Reads what is there from an open pipe end into the text; closes it at its end.
void ReadAvailable(CPipeEnd& end, std::string& text) {
  char buffer[4096];
  const ssize_t n = ::read(end.Fd(), buffer, sizeof buffer);
  if (n > 0) {
    text.append(buffer, std::min(static_cast<std::size_t>(n),
                                 kMostCapturedBytes - std::min(kMostCapturedBytes, text.size())));
  } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
    end.Close();
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

std::string RunTokenCommand(const std::string& command_line, const CCancelFlag* cancel,
                            CFlowLog* flow_log, const std::string& label, int timeout_ms) {
  auto fail = [&](const std::string& message) { RaiseLogged(flow_log, label, message); };
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty()) {
    fail(
        "SMTP: No token command is set. Enter the command that prints the access token in the "
        "advanced SMTP settings.");
  }
  const std::string command = "SMTP: The token command '" + words[0] + "'";
  if (flow_log != nullptr) {
    flow_log->Write(label + "Running the token command '" + words[0] + "' ...", kFlowStatus);
  }

  CPipeEnd out_read, out_write, err_read, err_write;
  if (!MakePipe(out_read, out_write) || !MakePipe(err_read, err_write)) {
    fail(command + " could not be started (" + std::strerror(errno) + ").");
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_write.Fd(), 1);
  posix_spawn_file_actions_adddup2(&actions, err_write.Fd(), 2);
  // Its own process group, so a time-out ends whatever the helper started too; signals as a
  // fresh process has them, whatever this worker thread blocks.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  out_write.Close();
  err_write.Close();
  if (spawned != 0) fail(command + " could not be started (" + std::strerror(spawned) + ").");

  std::string output;
  std::string errors;
  int status = 0;
  bool ended = false;
  const uint64_t deadline = MonotonicMillis() + static_cast<uint64_t>(timeout_ms);
  // Until the helper has ended and its output is read; once it has ended, only what is already
  // in the pipes counts (a process it left behind may hold them open).
  while (!ended || out_read.Open() || err_read.Open()) {
    pollfd entries[2] = {{out_read.Fd(), POLLIN, 0}, {err_read.Fd(), POLLIN, 0}};
    const int ready = ::poll(entries, 2, ended ? 0 : kPollSliceMs);
    if (ready > 0) {
      if (entries[0].revents != 0) ReadAvailable(out_read, output);
      if (entries[1].revents != 0) ReadAvailable(err_read, errors);
    } else if (ended) {
      break;
    }
    if (!ended && ::waitpid(pid, &status, WNOHANG) == pid) ended = true;
    const bool late = MonotonicMillis() >= deadline;
    if (ended) {
      if (late) break;
      continue;
    }
    const bool cancelled = cancel != nullptr && cancel->IsSet();
    if (cancelled || late) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      if (cancelled) fail(kCanceledMessage);
      const int seconds = (timeout_ms + 999) / 1000;
      fail(command + " did not finish within " + std::to_string(seconds) +
           (seconds == 1 ? " second." : " seconds."));
    }
  }

  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fail(command + " failed (" + FailureOf(status, errors) + ").");
  }
  const std::string token = FirstLine(output);
  if (token.empty()) fail(command + " printed no token.");
  if (!IsPrintable(token)) fail(command + " printed something that is not a token.");
  if (flow_log != nullptr) {
    flow_log->Write(label + "The token command printed a token", kFlowStatus);
  }
  return token;
}

}  // namespace larkspire
