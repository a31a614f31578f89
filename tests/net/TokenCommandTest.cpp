// The token command: run without a shell, its first line taken, every failure a clear error.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "net/AppError.h"
#include "net/TokenCommand.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

// The error text of a run, or "token: " and the token.
std::string RunCommand(const std::string& command, int timeout_ms = kTokenCommandTimeoutMs,
                       const CCancelFlag* cancel = nullptr, CFlowLog* flow_log = nullptr) {
  try {
    return "token: " + RunTokenCommand(command, cancel, flow_log, "SendMail: ", timeout_ms);
  } catch (const CAppError& error) {
    return error.what();
  }
}

TEST(TokenCommand, CommandLineSplitsAtBlanksAndQuotesGroup) {
  const struct {
    const char* line;
    std::vector<std::string> words;
  } cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"oauth2-helper", {"oauth2-helper"}},
      {"  oauth2-helper  --user  ann@x.example\t--token ",
       {"oauth2-helper", "--user", "ann@x.example", "--token"}},
      {"\"/opt/My Tools/helper\" \"two words\" x\"y z\"w",
       {"/opt/My Tools/helper", "two words", "xy zw"}},
      {"helper \"\" end", {"helper", "", "end"}},
      {"helper $HOME;rm|x `y` 'z'", {"helper", "$HOME;rm|x", "`y`", "'z'"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
}

TEST(TokenCommand, FirstLineOfTheOutputIsTheToken) {
  CTempDir dir;
  const std::string script = dir.File("helper.sh");
  ASSERT_TRUE(SaveFileAtomically(script, "printf '  ya29.first-line \\r\\nsecond line\\n'\n"));
  const struct {
    std::string command;
    std::string result;
  } cases[] = {
      {"/bin/echo ya29.token", "token: ya29.token"},
      // No shell: what a shell would expand or run reaches the program as it is written.
      {"/bin/echo $HOME;/bin/false `id` | x", "token: $HOME;/bin/false `id` | x"},
      // Found on PATH, arguments quoted.
      {"echo \"a b\"", "token: a b"},
      {"/bin/sh " + script, "token: ya29.first-line"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCommand(c.command), c.result) << c.command;
}

TEST(TokenCommand, FailuresSayWhatWentWrong) {
  const struct {
    std::string command;
    std::string error;
  } cases[] = {
      {"",
       "SMTP: No token command is set. Enter the command that prints the access token in the "
       "advanced SMTP settings."},
      {"/nonexistent/oauth2-helper --user ann",
       "SMTP: The token command '/nonexistent/oauth2-helper' could not be started (No such file "
       "or directory)."},
      {"/bin/sh -c \"echo refresh\\ token\\ expired >&2; exit 3\"",
       "SMTP: The token command '/bin/sh' failed (exit status 3: refresh token expired)."},
      {"/bin/sh -c \"kill -TERM $$\"",
       "SMTP: The token command '/bin/sh' failed (ended by signal 15)."},
      {"/bin/true", "SMTP: The token command '/bin/true' printed no token."},
      {"/bin/sh -c \"echo; echo late-token\"",
       "SMTP: The token command '/bin/sh' printed no token."},
      {"/bin/sh -c \"printf 'a\\tb'\"",
       "SMTP: The token command '/bin/sh' printed something that is not a token."},
  };
  for (const auto& c : cases) EXPECT_EQ(RunCommand(c.command), c.error) << c.command;
}

TEST(TokenCommand, AHelperThatDoesNotFinishIsKilledWithEverythingItStarted) {
  CTempDir dir;
  const std::string marker = dir.File("still-running");
  // The helper starts a second process that would outlive it, then waits.
  const std::string command = "/bin/sh -c \"(sleep 1; touch " + marker + ") & sleep 30\"";
  EXPECT_EQ(RunCommand(command, 300),
            "SMTP: The token command '/bin/sh' did not finish within 1 second.");
  // Killed as a group: the background process never gets to leave its mark.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_FALSE(FileExists(marker));
}

// Whether the process is gone: not there, or a zombie nobody has reaped yet.
bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && line.compare(close + 2, 1, "Z") == 0;
}

TEST(TokenCommand, AHelperThatDoesNotFinishIsKilledWithWhatLeftItsProcessGroup) {
  CTempDir dir;
  const std::string pids = dir.File("pids");
  // Started in a session of its own (setsid), once directly and once handed on (setsid -f
  // forks and its first process ends): both out of reach of the helper's process group.
  // The helper waits until both have said who they are.
  const std::string command = "/bin/sh -c \"setsid sleep 300 & echo $! >> " + pids +
                              "; setsid -f /bin/sh -c 'echo $$ >> " + pids +
                              "; exec sleep 300'; while [ $(wc -l < " + pids +
                              ") -lt 2 ]; do sleep 0.1; done; " + "sleep 300\"";
  EXPECT_EQ(RunCommand(command, 5000),
            "SMTP: The token command '/bin/sh' did not finish within 5 seconds.");
  std::ifstream list(pids);
  std::vector<pid_t> started;
  for (pid_t pid = 0; list >> pid;) started.push_back(pid);
  ASSERT_EQ(started.size(), 2u);
  for (const pid_t pid : started) {
    // SIGKILL ends a process at once; its parent's end hands it to be reaped.
    for (int i = 0; i < 200 && !ProcessGone(pid); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ProcessGone(pid)) << pid;
    if (!ProcessGone(pid)) ::kill(pid, SIGKILL);
  }
}

TEST(TokenCommand, TheHelperGetsNoDescriptorNorKeyOfThisProcess) {
  // A descriptor some part of the process made without close-on-exec.
  int leaked[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, leaked), 0);
  ::setenv("USPTO_API_KEY", "odp-key-9f2c", 1);
  ::setenv("LARKSPIRE_SETTINGS", "/tmp/settings.ini", 1);
  const std::string listing = RunCommand(
      "/usr/bin/python3 -c \"import os; d = '/proc/self/fd'; print(' '.join(sorted(f for f in "
      "os.listdir(d) if os.path.lexists(d + '/' + f))))\"");
  const std::string environment = RunCommand(
      "/bin/sh -c \"echo ${USPTO_API_KEY:-none}.${LARKSPIRE_SETTINGS:-none}.${HOME:+home}\"");
  ::unsetenv("USPTO_API_KEY");
  ::unsetenv("LARKSPIRE_SETTINGS");
  ::close(leaked[0]);
  ::close(leaked[1]);
  EXPECT_EQ(listing, "token: 0 1 2");
  EXPECT_EQ(environment, std::string("token: none.none.") + (std::getenv("HOME") ? "home" : ""));
}

TEST(TokenCommand, ACancelEndsTheWaitAndTheFlowLogNeverShowsTheToken) {
  CCancelFlag cancel;
  cancel.Set(1);
  EXPECT_EQ(RunCommand("/bin/sleep 30", kTokenCommandTimeoutMs, &cancel),
            "Windows: Operation canceled.");

  CFlowLog flow_log;
  flow_log.SetEnabled(true);
  EXPECT_EQ(RunCommand("/bin/echo secret-token-value", kTokenCommandTimeoutMs, nullptr, &flow_log),
            "token: secret-token-value");
  std::vector<std::string> texts;
  for (const FlowLine& line : flow_log.Drain()) {
    EXPECT_EQ(line.text.find("secret-token-value"), std::string::npos) << line.text;
    texts.push_back(line.text.substr(7, line.text.size() - 9));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"SendMail: Running the token command '/bin/echo' ...",
                                             "SendMail: The token command printed a token"}));
}

}  // namespace
}  // namespace larkspire
