#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

#include <optional>

#include "entries/Entry.h"
#include "net/Connection.h"
#include "net/PasswordScramble.h"
#include "net/ReplyReader.h"
#include "net/SendMail.h"
#include "net/SmtpDialogue.h"
#include "notify/EmailQueue.h"
#include "notify/NoticeSender.h"
#include "notify/PendingList.h"
#include "notify/Templates.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "run/Run.h"
#include "support/NetTestApp.h"
#include "support/ScopedTimeZone.h"
#include "support/SmtpTestServer.h"
#include "support/TempDir.h"
#include "support/TestServer.h"

namespace larkspire {
namespace {

constexpr int64_t kNoonUtcMillis = 1796817600000;  // Wed 2026-12-09 12:00:00 UTC
constexpr const char* kMessage = "Subject: Status change\r\n\r\nThe status has changed.\r\n";

std::string HostName() {
  char name[256] = "";
  ::gethostname(name, sizeof name);
  return name;
}

class SendMailTest : public ::testing::Test {
 protected:
  SendMailTest() {
    SetFakeClockForTesting(kNoonUtcMillis);
    CSettings& settings = test_.App().Settings();
    settings.ReturnAddress.Set("me@office.example");
    settings.LogDir.Set(dir_.Path());
  }
  ~SendMailTest() override { SetFakeClockForTesting(std::nullopt); }

  // kind counts the recipient kinds in their order: return address, notification addresses,
  // activity, support, the file's own line.
  std::string Send(CSmtpTestServer& server, const std::string& file_text, int kind = 0) {
    test_.App().Settings().SmtpServer.Set(server.HostPort());
    const std::string path = dir_.File("message.tmp");
    EXPECT_TRUE(SaveFileAtomically(path, file_text));
    return SendEmailFile(test_.App(), path, "the test message", static_cast<MailRecipient>(kind));
  }
  std::string Log() {
    std::string log;
    ReadWholeFile(JoinPath(dir_.Path(), kLogFileName), log);
    return log;
  }
  long long Succeeded() { return test_.App().Settings().CountEmailBatchSucceeded.Int(0); }
  long long Failed() { return test_.App().Settings().CountEmailBatchFailed.Int(0); }

  CTempDir dir_;
  CNetTestApp test_{5000};
};

TEST_F(SendMailTest, WithoutUserNameTheDialogueUsesHelo) {
  CScopedTimeZone zone("EST5");
  CSmtpTestServer server;
  EXPECT_EQ(Send(server, kMessage), "");
  ASSERT_TRUE(server.WaitForSessions(1));
  const std::vector<std::string> expected = {"HELO " + HostName(), "MAIL From: <me@office.example>",
                                             "RCPT To: <me@office.example>", "DATA", "QUIT"};
  EXPECT_EQ(server.Lines(), expected);
  EXPECT_EQ(server.Data(),
            "Date: Wed, 09 Dec 2026 07:00:00 -0500\r\n"
            "From: me@office.example\r\n"
            "Reply-to: me@office.example\r\n"
            "To: me@office.example\r\n"
            "X-Mailer: Larkspire\r\n"
            "Subject: Status change\r\n\r\nThe status has changed.\r\n");
  EXPECT_EQ(Succeeded(), 1);
  EXPECT_EQ(Failed(), 0);
  EXPECT_NE(Log().find("> Send E-Mail 'the test message'\r\n"), std::string::npos);
  EXPECT_EQ(Log().find("error"), std::string::npos);
  EXPECT_TRUE(test_.FlowHas("SendMail: Sending 'QUIT\\r\\n' ..."));
}

TEST_F(SendMailTest, WithUserNameTheDialogueAuthenticatesAndHidesThePassword) {
  CSettings& settings = test_.App().Settings();
  settings.UserName.Set("user");
  settings.Password.Set(ScramblePassword("secret"));
  CSmtpTestServer server;
  EXPECT_EQ(Send(server, kMessage), "");
  ASSERT_TRUE(server.WaitForSessions(1));
  const std::vector<std::string> expected = {"EHLO " + HostName(),
                                             "AUTH LOGIN",
                                             "dXNlcg==",
                                             "c2VjcmV0",
                                             "MAIL From: <me@office.example>",
                                             "RCPT To: <me@office.example>",
                                             "DATA",
                                             "QUIT"};
  EXPECT_EQ(server.Lines(), expected);
  EXPECT_TRUE(test_.FlowHas("SendMail: Sending 'dXNlcg==\\r\\n' ..."));
  EXPECT_TRUE(test_.FlowHas("SendMail: Sending ***password***"));
  for (const std::string& line : test_.FlowTexts()) {
    EXPECT_EQ(line.find("c2VjcmV0"), std::string::npos) << line;
  }
}

TEST_F(SendMailTest, MultiLineEhloReplyIsReadWholeBeforeTheNextCommand) {
  test_.App().Settings().UserName.Set("user");
  std::atomic<bool> early{false};
  CSmtpTestServer server([&](const std::string& line, CTestConnection& c) {
    if (line.rfind("EHLO", 0) != 0) return false;
    c.Write("250-test.example greets you\r\n");
    early = c.DataArrives(300);
    c.Write("250 AUTH LOGIN\r\n");
    return true;
  });
  EXPECT_EQ(Send(server, kMessage), "");
  EXPECT_FALSE(early);
  ASSERT_TRUE(server.WaitForSessions(1));
  EXPECT_EQ(server.Lines().at(1), "AUTH LOGIN");
}

TEST_F(SendMailTest, AddressListsGiveOneRcptEachAndAppearWholeInTheHeaders) {
  std::vector<std::string>& notify = test_.App().Settings().NotifyAddress.Items();
  notify = {"a@x.example", "b@y.example (Bee Name)"};
  CSmtpTestServer server;
  EXPECT_EQ(Send(server, std::string("Cc: Carl <c@z.example>\r\n") + kMessage, 1), "");
  ASSERT_TRUE(server.WaitForSessions(1));
  const std::vector<std::string> lines = server.Lines();
  const std::vector<std::string> rcpts(lines.begin() + 2, lines.begin() + 5);
  EXPECT_EQ(rcpts, (std::vector<std::string>{"RCPT To: <a@x.example>", "RCPT To: <b@y.example>",
                                             "RCPT To: <c@z.example>"}));
  const std::string data = server.Data();
  EXPECT_NE(data.find("\r\nTo: a@x.example, b@y.example (Bee Name)\r\nCc: Carl <c@z.example>\r\n"
                      "X-Mailer: Larkspire\r\nSubject: Status change\r\n"),
            std::string::npos)
      << data;
}

TEST_F(SendMailTest, RecipientKindChoosesTheToList) {
  test_.App().Settings().NotifyAddress.Items() = {"n1@x.example", "n2@x.example"};
  const struct {
    int kind;
    std::string file_prefix;
    std::vector<std::string> rcpts;
  } cases[] = {
      {0, "", {"RCPT To: <me@office.example>"}},
      {1, "", {"RCPT To: <n1@x.example>", "RCPT To: <n2@x.example>"}},
      {2, "", {"RCPT To: <activity@larkspire.example>"}},
      {3, "", {"RCPT To: <support@larkspire.example>"}},
      {4, "To: t@x.example\r\n", {"RCPT To: <t@x.example>"}},
      {0, "to: lower@x.example\r\n", {"RCPT To: <lower@x.example>"}},
      {3,
       "TO: Tess <t@x.example>, u@x.example\r\n",
       {"RCPT To: <t@x.example>", "RCPT To: <u@x.example>"}},
  };
  for (const auto& c : cases) {
    CSmtpTestServer server;
    EXPECT_EQ(Send(server, c.file_prefix + kMessage, c.kind), "") << c.kind;
    ASSERT_TRUE(server.WaitForSessions(1));
    std::vector<std::string> rcpts;
    for (const std::string& line : server.Lines()) {
      if (line.rfind("RCPT", 0) == 0) rcpts.push_back(line);
    }
    EXPECT_EQ(rcpts, c.rcpts) << c.kind << " " << c.file_prefix;
  }
}

TEST_F(SendMailTest, AFileWithNothingToSendIsAFailureNeverASuccess) {
  CSmtpTestServer server;
  const struct {
    std::string text;
    int kind;
  } cases[] = {
      {"", 0},
      {std::string("\0Subject: hidden behind a zero byte\r\n", 37), 0},
      {"To: a@x.example", 0},
      {"To: a@x.example\r\nCc: c@x.example", 0},
      {"cc: c@x.example", 1},
  };
  const std::string nothing = "SendEmail: The e-mail file the test message holds no message.";
  for (const auto& c : cases) EXPECT_EQ(Send(server, c.text, c.kind), nothing) << c.text;
  const std::string path = dir_.File("missing.tmp");
  EXPECT_EQ(SendEmailFile(test_.App(), path, "missing.tmp", MailRecipient::kReturnAddress),
            "SendEmail: Can't read the e-mail file missing.tmp (No such file or directory).");
  // Nor is a link planted in the logging directory followed to a file of another's choosing.
  ASSERT_TRUE(SaveFileAtomically(dir_.File("secret"), kMessage));
  ASSERT_EQ(::symlink(dir_.File("secret").c_str(), dir_.File("planted.tmp").c_str()), 0);
  EXPECT_EQ(
      SendEmailFile(test_.App(), dir_.File("planted.tmp"), "planted.tmp",
                    MailRecipient::kReturnAddress),
      "SendEmail: Can't read the e-mail file planted.tmp (Too many levels of symbolic links).");
  EXPECT_EQ(server.Accepted(), 0);
  EXPECT_EQ(Succeeded(), 0);
  EXPECT_EQ(Failed(), 7);
  EXPECT_NE(Log().find("Send E-Mail error '" + nothing + "'"), std::string::npos);
}

TEST_F(SendMailTest, LoneLineFeedsEndTheHeaderLinesAndGoOutAsCrLf) {
  CSmtpTestServer server;
  EXPECT_EQ(
      Send(server, "To: t@x.example\nCc: c@x.example\nSubject: LF only\n\nLine one.\nLine two.\n"),
      "");
  ASSERT_TRUE(server.WaitForSessions(1));
  std::vector<std::string> rcpts;
  for (const std::string& line : server.Lines()) {
    if (line.rfind("RCPT", 0) == 0) rcpts.push_back(line);
  }
  EXPECT_EQ(rcpts, (std::vector<std::string>{"RCPT To: <t@x.example>", "RCPT To: <c@x.example>"}));
  const std::string data = server.Data();
  EXPECT_NE(data.find("To: t@x.example\r\nCc: c@x.example\r\n"), std::string::npos) << data;
  EXPECT_NE(data.find("Subject: LF only\r\n\r\nLine one.\r\nLine two.\r\n"), std::string::npos)
      << data;
  EXPECT_EQ(Succeeded(), 1);
}

TEST_F(SendMailTest, ZeroBytesCutEachReadPiece) {
  // The first 4096-byte piece ends at its zero byte; the second piece is read whole.
  std::string text = std::string(kMessage) + std::string(10, '\0');
  text.resize(4096, 'z');
  text += "tail\r\n";
  CSmtpTestServer server;
  EXPECT_EQ(Send(server, text), "");
  ASSERT_TRUE(server.WaitForSessions(1));
  EXPECT_NE(server.Data().find("The status has changed.\r\ntail\r\n"), std::string::npos);
}

// Page bytes reach mails (the problem report carries the last pages fetched): whatever their
// line ends, every line goes out ended by CR LF and no line can end the data early.
TEST_F(SendMailTest, LinesStartingWithADotAreDoubledOnTheWire) {
  CSmtpTestServer server;
  EXPECT_EQ(Send(server,
                 "Subject: dots\r\n\r\n.leading\r\nmiddle\r\n..two\r\nbare\n.lf\r\r\n.cr\r\n"
                 "page\r.\rafter\n.\nend\r\n"),
            "");
  ASSERT_TRUE(server.WaitForSessions(1));
  EXPECT_NE(server.Data().find("Subject: dots\r\n\r\n..leading\r\nmiddle\r\n...two\r\nbare\r\n..lf"
                               "\r\n\r\n..cr\r\npage\r\n..\r\nafter\r\n..\r\nend\r\n"),
            std::string::npos)
      << server.Data();
  EXPECT_TRUE(server.Data().ends_with("end\r\n"));
}

TEST_F(SendMailTest, DateLineCarriesTheLocalZone) {
  const struct {
    const char* zone;
    const char* date;
  } cases[] = {
      {"NST3:30", "Date: Wed, 09 Dec 2026 08:30:00 -0330\r\n"},
      {"IST-5:30", "Date: Wed, 09 Dec 2026 17:30:00 +0530\r\n"},
      {"EST5", "Date: Wed, 09 Dec 2026 07:00:00 -0500\r\n"},
  };
  for (const auto& c : cases) {
    CScopedTimeZone zone(c.zone);
    CSmtpTestServer server;
    EXPECT_EQ(Send(server, kMessage), "");
    ASSERT_TRUE(server.WaitForSessions(1));
    EXPECT_EQ(server.Data().rfind(c.date, 0), 0u) << server.Data();
  }
}

TEST_F(SendMailTest, RejectedRepliesGiveTheirErrors) {
  auto reject = [](const std::string& verb, const std::string& reply) {
    return [verb, reply](const std::string& line, CTestConnection& c) {
      if (line.rfind(verb, 0) != 0) return false;
      c.Write(reply);
      return true;
    };
  };
  auto reject_message = [](const std::string& line, CTestConnection& c) {
    if (line != "DATA") return false;
    c.Write("354 go ahead\r\n");
    c.ReadUntil("\r\n.\r\n");
    c.Write("554 5.7.1 Message rejected\r\n");
    return true;
  };
  const struct {
    CSmtpTestServer::Script script;
    bool with_user;
    std::string error;
    std::string last_line;
  } cases[] = {
      {reject("", "554 No service\r\n"), false, kSmtpProtocolMessage, ""},
      {reject("HELO", "501 Bad name\r\n"), false, kSmtpProtocolMessage, "HELO " + HostName()},
      {reject("EHLO", "502 Not here\r\n"), true, kSmtpProtocolMessage, "EHLO " + HostName()},
      {reject("AUTH", "504 Unrecognized\r\n"), true, kSmtpProtocolMessage, "AUTH LOGIN"},
      {reject("MAIL", "550 5.1.0 Sender rejected\r\n"), false, kSmtpSenderMessage,
       "MAIL From: <me@office.example>"},
      {reject("RCPT", "550 5.1.1 No such user\r\n"), false, kSmtpRecipientMessage,
       "RCPT To: <me@office.example>"},
      {reject("DATA", "503 Bad sequence\r\n"), false, kSmtpProtocolMessage, "DATA"},
      {reject_message, false, kSmtpProtocolMessage, "DATA"},
  };
  long long failures = 0;
  for (const auto& c : cases) {
    test_.App().Settings().UserName.Set(c.with_user ? "user" : "");
    CSmtpTestServer server(c.script);
    EXPECT_EQ(Send(server, kMessage), c.error) << c.last_line;
    ASSERT_TRUE(server.WaitForSessions(1));
    const std::vector<std::string> lines = server.Lines();
    // The dialogue stops at the rejected command; no QUIT follows an error.
    EXPECT_EQ(lines.empty() ? std::string() : lines.back(), c.last_line);
    EXPECT_TRUE(test_.FlowHas("SendMail: " + c.error));
    EXPECT_EQ(Failed(), ++failures);
  }
  EXPECT_NE(Log().find("> Send E-Mail error '" + std::string(kSmtpSenderMessage) + "'\r\n"),
            std::string::npos);
  EXPECT_EQ(Succeeded(), 0);
}

TEST_F(SendMailTest, TransientPermanentOrGarbageReplyAtEachStepStopsTheDialogueThere) {
  // The steps of an authenticated dialogue with one recipient, in the order they happen:
  // the greeting, EHLO, AUTH LOGIN, user name, password, MAIL, RCPT, DATA, the message end.
  const char* const step_errors[] = {
      kSmtpProtocolMessage,  kSmtpProtocolMessage, kSmtpProtocolMessage,
      kSmtpProtocolMessage,  kSmtpProtocolMessage, kSmtpSenderMessage,
      kSmtpRecipientMessage, kSmtpProtocolMessage, kSmtpProtocolMessage,
  };
  const char* const replies[] = {"421 4.3.2 Service not available\r\n",
                                 "451 4.3.0 Try again later\r\n",
                                 "554 5.0.0 Refused\r\n",
                                 "HTTP/1.0 200 OK\r\n",
                                 "\r\n",
                                 "2500 OK\r\n"};
  test_.App().Settings().UserName.Set("user");
  constexpr std::size_t kDataStep = 7;
  for (std::size_t step = 0; step < std::size(step_errors); ++step) {
    for (const char* reply : replies) {
      // Called for the greeting and then once per command; the message end is answered
      // from the DATA call.
      std::size_t calls = 0;
      CSmtpTestServer server([&](const std::string&, CTestConnection& c) {
        if (calls++ != std::min(step, kDataStep)) return false;
        if (step > kDataStep) {
          c.Write("354 go ahead\r\n");
          c.ReadUntil("\r\n.\r\n");
        }
        c.Write(reply);
        return true;
      });
      EXPECT_EQ(Send(server, kMessage), step_errors[step]) << step << " " << reply;
      ASSERT_TRUE(server.WaitForSessions(1));
      // Nothing follows the refused step, not even QUIT.
      EXPECT_EQ(server.Lines().size(), std::min(step, kDataStep)) << step << " " << reply;
    }
  }
}

TEST_F(SendMailTest, LineBreaksInAddressesAreRefusedBeforeTheyAreSent) {
  CSettings& settings = test_.App().Settings();
  const struct {
    std::string return_address;
    std::vector<std::string> notify;
    std::string error;
    std::string absent;
  } cases[] = {
      {"me@office.example\r\nRCPT To: <evil@x.example>", {}, kSmtpSenderMessage, "MAIL"},
      {std::string("me@office.example\0x", 19), {}, kSmtpSenderMessage, "MAIL"},
      {"me@office.example",
       {"a@x.example", "b@x.example\nBcc: evil@x.example"},
       kSmtpRecipientMessage,
       "RCPT"},
  };
  for (const auto& c : cases) {
    settings.ReturnAddress.Set(c.return_address);
    settings.NotifyAddress.Items() = c.notify;
    CSmtpTestServer server;
    EXPECT_EQ(Send(server, kMessage, c.notify.empty() ? 0 : 1), c.error);
    ASSERT_TRUE(server.WaitForSessions(1));
    for (const std::string& line : server.Lines()) {
      EXPECT_NE(line.rfind(c.absent, 0), 0u) << line;
      EXPECT_EQ(line.find("evil"), std::string::npos) << line;
    }
  }
}

TEST_F(SendMailTest, ServerClosingMidDialogueIsADisconnection) {
  CSmtpTestServer server([](const std::string& line, CTestConnection& c) {
    if (line.rfind("MAIL", 0) != 0) return false;
    c.Close();
    return true;
  });
  EXPECT_EQ(Send(server, kMessage), kDisconnectedMessage);
}

// A server that answers HELO with "250-" lines that never end (the greeting too, or one line
// that never ends): the mail fails with its own text once the reply passes 64 KB.
TEST_F(SendMailTest, ReplyThatNeverEndsFailsPastSixtyFourKilobytes) {
  const std::string continuation = "250-" + std::string(1000, 'x') + "\r\n";
  const std::string endless_line(1000, '2');
  const struct {
    const char* at;  // the line the server answers without end ("" the greeting)
    const std::string* piece;
  } cases[] = {{"", &continuation}, {"HELO", &continuation}, {"HELO", &endless_line}};
  for (const auto& c : cases) {
    CSmtpTestServer server([&](const std::string& line, CTestConnection& s) {
      const bool here = *c.at == '\0' ? line.empty() : line.rfind(c.at, 0) == 0;
      if (!here) return false;
      while (!s.Stopping() && s.Write(*c.piece)) {
      }
      return true;
    });
    EXPECT_EQ(Send(server, kMessage), kReplyTooLongMessage) << c.at;
    EXPECT_TRUE(test_.FlowHas(std::string("SendMail: ") + kReplyTooLongMessage));
  }
  EXPECT_EQ(Failed(), 3);
}

TEST_F(SendMailTest, RefusedConnectionHasNoProxyHint) {
  test_.App().Settings().SmtpServer.Set("127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
  const std::string path = dir_.File("message.tmp");
  ASSERT_TRUE(SaveFileAtomically(path, kMessage));
  EXPECT_EQ(SendEmailFile(test_.App(), path, "refused", MailRecipient::kReturnAddress),
            kRefusedMessage);
  EXPECT_EQ(Failed(), 1);
}

TEST_F(SendMailTest, SilentServerEndsAtTheWindowTimerWithTheSendEmailPrefix) {
  test_.App().SetTimeoutMs(300);
  test_.UseWindowTimer();
  CSmtpTestServer server([](const std::string&, CTestConnection& c) {
    c.Stall();
    return true;
  });
  EXPECT_EQ(Send(server, kMessage), "SendEmail: Operation timed out.");
  EXPECT_EQ(test_.App().AbortReason(), kAbortNone);
  EXPECT_EQ(Failed(), 1);
  EXPECT_EQ(test_.Ui().busy_ranges, std::vector<int>{30});
}

// An unattended run over TLS whose mail server cannot be reached: the notices its update
// writes, then the batch at the end with the activity report due. The server is asked once;
// what it did not do names it, and every message stays queued for the next run.
class UnreachableMailServerTest : public SendMailTest {
 protected:
  // The message the run's end shows; the notices are posted as an update posts them.
  std::string RunAgainst(const std::string& server) {
    CRun& app = test_.App();
    CSettings& settings = app.Settings();
    settings.SmtpServer.Set(server);
    settings.SmtpSecurity.Set("TLS");
    settings.NotifyAddress.Items() = {"partners@office.example"};
    settings.CountEmailBatchSucceeded.SetInt(0);  // the activity report is due
    app.Status().auto_run = true;
    app.SetTimeoutMs(2000);
    test_.UseWindowTimer();
    {
      CEmailBatch batch(app);
      CNoticeSender sender(app);
      for (const char* patent : {"1,111,111", "2,222,222"}) {
        CEntry entry;
        entry.Text(kPatNum) = patent;
        EXPECT_EQ(PostEmail(app, entry, kTemplateStatusChange, "s"), "");
        sender.Pump();
      }
      sender.Finish();
    }
    test_.Ui().messages.clear();
    SendPendingEmail(app, true, false);
    return test_.Ui().messages.empty() ? "" : test_.Ui().messages.back().text;
  }
  long Connections() {
    long count = 0;
    for (const std::string& line : test_.FlowTexts()) {
      count += line.starts_with("SendMail: Connecting to") ? 1 : 0;
    }
    return count;
  }
  std::string Pending() {
    std::string text;
    ReadWholeFile(dir_.File(kPendingListName), text);
    return text;
  }
  static constexpr const char* kBothQueued = "Larkspire_s1111111.tmp\r\nLarkspire_s2222222.tmp\r\n";
};

TEST_F(UnreachableMailServerTest, AServerStalledInTheHandshakeCostsOneTimeOutARun) {
  // Takes the connection and the ClientHello, then says nothing.
  CTestServer server([](CTestConnection& c) {
    if (c.DataArrives(5000)) c.Stall();
  });
  const std::string error =
      "SMTP: The server " + server.HostPort() + " did not finish the TLS handshake within 2 s.";
  EXPECT_EQ(RunAgainst(server.HostPort()), error + "\n\nDo you want to exit anyway?");
  EXPECT_EQ(server.Accepted(), 1);
  EXPECT_EQ(Connections(), 1);
  EXPECT_EQ(Pending(), kBothQueued);
  EXPECT_NE(Log().find("Send E-Mail not tried: 2 message(s) stay queued for the next run '" +
                       error + "'"),
            std::string::npos)
      << Log();
}

TEST_F(UnreachableMailServerTest, AServerThatRefusesTheConnectionIsAskedOnceARun) {
  std::string closed;
  {
    CTestServer gone([](CTestConnection&) {});
    closed = gone.HostPort();
  }
  EXPECT_EQ(RunAgainst(closed), "SMTP: The server " + closed +
                                    " refused the connection.\n\nDo you want to exit anyway?");
  EXPECT_EQ(Connections(), 1);
  EXPECT_EQ(Pending(), kBothQueued);
}

TEST_F(SendMailTest, AFixedTimeOutStaysAsTheCallerLeftIt) {
  for (bool fixed : {false, true}) {
    test_.App().SetTimeoutFixed(fixed);
    CSmtpTestServer server;
    EXPECT_EQ(Send(server, kMessage), "");
    EXPECT_EQ(test_.App().TimeoutFixed(), fixed);
  }
}

// A non-loopback IPv4 address of this machine, if it has one.
std::optional<std::string> OwnNonLoopbackAddress() {
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return std::nullopt;
  std::optional<std::string> found;
  for (ifaddrs* i = interfaces; i != nullptr && !found; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    char dotted[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, dotted,
                sizeof dotted);
    if (!IsLoopbackHost(dotted)) found = dotted;
  }
  ::freeifaddrs(interfaces);
  return found;
}

TEST_F(SendMailTest, APasswordInClearTextToAnotherHostIsWarnedAboutInTheLog) {
  const std::optional<std::string> own = OwnNonLoopbackAddress();
  if (!own) GTEST_SKIP() << "this machine has no address but loopback";
  CSettings& settings = test_.App().Settings();
  settings.UserName.Set("user");
  settings.Password.Set(ScramblePassword("secret"));
  // Nobody listens there: the warning is logged before the connection is even tried.
  settings.SmtpServer.Set(*own + ":" + std::to_string(UnusedLoopbackPort()));
  const std::string path = dir_.File("message.tmp");
  ASSERT_TRUE(SaveFileAtomically(path, kMessage));
  EXPECT_EQ(SendEmailFile(test_.App(), path, "warned", MailRecipient::kReturnAddress),
            kRefusedMessage);
  EXPECT_NE(Log().find("> Send E-Mail warning '" +
                       UnencryptedPasswordWarning(MailSecurity::kNone, "user", *own) + "'\r\n"),
            std::string::npos)
      << Log();
  EXPECT_NE(Log().find("The password for the mail server " + *own +
                       " crosses the network "
                       "unencrypted"),
            std::string::npos);
}

TEST_F(SendMailTest, AServerRefusingStartTlsEndsTheSessionWithItsReply) {
  test_.App().Settings().SmtpSecurity.Set("STARTTLS");
  CSmtpTestServer server([](const std::string& line, CTestConnection& c) {
    if (line.rfind("EHLO", 0) == 0) {
      c.Write("250-test.example\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n");
      return true;
    }
    if (line == "STARTTLS") {
      c.Write("454 4.7.0 TLS not available due to temporary reason\r\n");
      return true;
    }
    return false;
  });
  EXPECT_EQ(Send(server, kMessage),
            std::string(kSmtpTemporaryMessage) +
                " The server answered: 454 4.7.0 TLS not available due to temporary reason");
  ASSERT_TRUE(server.WaitForSessions(1));
  const std::vector<std::string> lines = server.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("EHLO ", 0), 0u);
  EXPECT_EQ(lines[1], "STARTTLS");
}

TEST_F(SendMailTest, ATokenSignInThatCannotBeSafeIsRefusedBeforeAnyConnection) {
  CSettings& settings = test_.App().Settings();
  settings.SmtpAuth.Set("Token");
  settings.SmtpTokenCommand.Set("/bin/echo ya29.token");
  const struct {
    const char* security;
    const char* user;
    const char* error;
  } cases[] = {
      {"", "user@office.example", kSmtpTokenInClearMessage},
      {"None", "user@office.example", kSmtpTokenInClearMessage},
      {"STARTTLS", "", kSmtpTokenUserMessage},
  };
  CSmtpTestServer server;
  for (const auto& c : cases) {
    settings.SmtpSecurity.Set(c.security);
    settings.UserName.Set(c.user);
    EXPECT_EQ(Send(server, kMessage), c.error) << c.security;
  }
  EXPECT_EQ(server.Accepted(), 0);
  EXPECT_FALSE(test_.FlowContains("ya29.token"));
}

}  // namespace
}  // namespace larkspire
