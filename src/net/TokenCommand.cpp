#include "net/TokenCommand.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

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

// What the helper's environment keeps of this process's: not the Open Data Portal's key, which
// the helper has no business with, nor this program's own variables.
bool KeptForHelper(std::string_view entry) {
  return !entry.starts_with("USPTO_API_KEY=") && !entry.starts_with("LARKSPIRE_");
}

// The processes started by pid, as /proc lists them for each of its threads.
std::vector<pid_t> ChildrenOf(pid_t pid) {
  std::vector<pid_t> children;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* listing = ::opendir(tasks.c_str());
  if (listing == nullptr) return children;
  while (const dirent* task = ::readdir(listing)) {
    if (task->d_name[0] == '.') continue;
    std::ifstream file(tasks + "/" + task->d_name + "/children");
    for (pid_t child = 0; file >> child;) children.push_back(child);
  }
  ::closedir(listing);
  return children;
}

// Kills the helper and every process under it, wherever they went: its process group, and
// what left the group (setsid) but is still its descendant or was handed to it as an orphan
// (the helper is the subreaper of everything it starts). Each is stopped first, so nothing
// starts another process between the listing and the kill; the listing is repeated until it
// finds no process it has not stopped.
void KillHelperTree(pid_t helper) {
  ::kill(-helper, SIGSTOP);
  ::kill(helper, SIGSTOP);
  std::set<pid_t> stopped = {helper};
  for (bool found = true; found;) {
    found = false;
    std::vector<pid_t> pending(stopped.begin(), stopped.end());
    while (!pending.empty()) {
      const pid_t parent = pending.back();
      pending.pop_back();
      for (const pid_t child : ChildrenOf(parent)) {
        if (!stopped.insert(child).second) continue;
        ::kill(child, SIGSTOP);
        pending.push_back(child);
        found = true;
      }
    }
  }
  ::kill(-helper, SIGKILL);
  for (const pid_t pid : stopped) ::kill(pid, SIGKILL);
  ::waitpid(helper, nullptr, 0);
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

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (KeptForHelper(*entry)) environment.emplace_back(*entry);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  CPipeEnd null_input, report_read, report_write;
  null_input.Fd() = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (!null_input.Open() || !MakePipe(report_read, report_write)) {
    fail(command + " could not be started (" + std::strerror(errno) + ").");
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only calls safe after a fork of a threaded process from here to the exec. Its own process
    // group, the subreaper of whatever it starts (so a time-out finds all of it), signals as a
    // fresh process has them, and no descriptor of this process but its three standard ones.
    ::setpgid(0, 0);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction fresh {};
    fresh.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &fresh, nullptr);
    if (::dup2(null_input.Fd(), 0) >= 0 && ::dup2(out_write.Fd(), 1) >= 0 &&
        ::dup2(err_write.Fd(), 2) >= 0 && ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
      ::execvpe(argv[0], argv.data(), envp.data());
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(report_write.Fd(), &error, sizeof error);
    ::_exit(127);
  }
  const int fork_error = errno;
  out_write.Close();
  err_write.Close();
  report_write.Close();
  if (pid < 0) fail(command + " could not be started (" + std::strerror(fork_error) + ").");
  int spawned = 0;
  if (::read(report_read.Fd(), &spawned, sizeof spawned) == static_cast<ssize_t>(sizeof spawned)) {
    ::waitpid(pid, nullptr, 0);
    fail(command + " could not be started (" + std::strerror(spawned) + ").");
  }

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
      KillHelperTree(pid);
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
