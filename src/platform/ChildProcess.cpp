#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

extern char** environ;

namespace larkspire {
namespace {

// What a system command says fits in far less; more is read and dropped so it never blocks.
constexpr std::size_t kMostKeptOutput = 65536;

int ExitCodeOf(int status) {
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace

std::optional<CProgramResult> RunProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::nullopt;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  if (spawned != 0) {
    ::close(ends[0]);
    return std::nullopt;
  }
  CProgramResult result;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(ends[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t room = kMostKeptOutput - result.output.size();
    result.output.append(buffer, std::min(room, static_cast<std::size_t>(n)));
  }
  ::close(ends[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  // posix_spawnp reports a program it could not run as exit status 127 of the child.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && result.output.empty()) return std::nullopt;
  result.exit_code = ExitCodeOf(status);
  return result;
}

}  // namespace larkspire
