// The SMTP client against a real SMTP server implementation (Debian's python3-aiosmtpd),
// started on loopback with AUTH LOGIN required.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "net/PasswordScramble.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "platform/Files.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

extern char** environ;

namespace larkspire {
namespace {

// Debian's interpreter, which has the python3-aiosmtpd package; the first python3 on PATH
// may be another one.
constexpr const char* kPython = "/usr/bin/python3";

bool PythonHasAiosmtpd() {
  return std::system("/usr/bin/python3 -c 'import aiosmtpd' >/dev/null 2>&1") == 0;
}

// The server script as a child process: it prints its port, and ends when its input closes.
class CAiosmtpdServer {
 public:
  CAiosmtpdServer(const std::string& out_dir, const std::string& user,
                  const std::string& password) {
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

std::string Contents(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

TEST(Aiosmtpd, QueuedMessageArrivesWithEnvelopeHeadersAndRestoredDots) {
  if (!PythonHasAiosmtpd()) GTEST_SKIP() << "/usr/bin/python3 cannot import aiosmtpd";
  CTempDir received;
  CAiosmtpdServer server(received.Path(), "larkspire-user", "pa55 word");
  ASSERT_TRUE(server.Port().has_value());

  CNetTestApp test(20000);
  CSettings& settings = test.App().Settings();
  settings.SmtpServer.Set("127.0.0.1:" + std::to_string(*server.Port()));
  settings.UserName.Set("larkspire-user");
  settings.Password.Set(ScramblePassword("pa55 word"));
  settings.ReturnAddress.Set("docketing@office.example");

  // A queued message file: To and Cc lines, then the expanded template.
  const std::string body =
      "Subject: Status change for 10/123,456 (ref. 1234-US)\r\n"
      "\r\n"
      "The status of application 10/123,456 has changed.\r\n"
      ".A line that starts with a dot.\r\n"
      "..and one with two.\r\n"
      ".\r\n"
      "End of report.\r\n";
  CTempDir dir;
  const std::string path = dir.File("Larkspire_s10_123456.tmp");
  ASSERT_TRUE(
      SaveFileAtomically(path,
                         "To: Ann Smith <ann@client.example>, bob@client.example (Bob Jones)\r\n"
                         "Cc: carl@office.example\r\n" +
                             body));
  EXPECT_EQ(
      SendEmailFile(test.App(), path, "Larkspire_s10_123456.tmp", MailRecipient::kNotifyAddresses),
      "");

  EXPECT_EQ(Contents(received.File("login.txt")), "larkspire-user");
  EXPECT_EQ(Contents(received.File("mail_from.txt")), "docketing@office.example");
  EXPECT_EQ(Contents(received.File("rcpt_tos.txt")),
            "ann@client.example\nbob@client.example\ncarl@office.example");
  const std::string data = Contents(received.File("data.eml"));
  const std::size_t date_end = data.find("\r\n");
  ASSERT_NE(date_end, std::string::npos);
  EXPECT_EQ(data.rfind("Date: ", 0), 0u);
  EXPECT_EQ(data.substr(date_end + 2),
            "From: docketing@office.example\r\n"
            "Reply-to: docketing@office.example\r\n"
            "To: Ann Smith <ann@client.example>, bob@client.example (Bob Jones)\r\n"
            "Cc: carl@office.example\r\n"
            "X-Mailer: Larkspire\r\n" +
                body + "\r\n");  // the CR LF before the final dot belongs to the data
  EXPECT_EQ(settings.CountEmailBatchSucceeded.Int(0), 1);
}

TEST(Aiosmtpd, WrongPasswordIsAProtocolError) {
  if (!PythonHasAiosmtpd()) GTEST_SKIP() << "/usr/bin/python3 cannot import aiosmtpd";
  CTempDir received;
  CAiosmtpdServer server(received.Path(), "larkspire-user", "right");
  ASSERT_TRUE(server.Port().has_value());
  CNetTestApp test(20000);
  CSettings& settings = test.App().Settings();
  settings.SmtpServer.Set("127.0.0.1:" + std::to_string(*server.Port()));
  settings.UserName.Set("larkspire-user");
  settings.Password.Set(ScramblePassword("wrong"));
  settings.ReturnAddress.Set("docketing@office.example");
  CTempDir dir;
  ASSERT_TRUE(SaveFileAtomically(dir.File("m.tmp"), "Subject: s\r\n\r\nbody\r\n"));
  EXPECT_EQ(SendEmailFile(test.App(), dir.File("m.tmp"), "m", MailRecipient::kReturnAddress),
            kSmtpProtocolMessage);
  EXPECT_FALSE(FileExists(received.File("data.eml")));
}

}  // namespace
}  // namespace larkspire
