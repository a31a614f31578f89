// The SMTP client with STARTTLS, TLS and the newer sign-ins against a real SMTP server
// implementation (Debian's python3-aiosmtpd) on loopback, its certificates made for each run by
// a test certificate authority (python3-trustme). Failures go through the queue, which must
// keep the message for the next run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <regex>

#include "entries/Entry.h"
#include "net/Base64.h"
#include "net/Connection.h"
#include "net/PasswordScramble.h"
#include "net/SendMail.h"
#include "net/SmtpDialogue.h"
#include "net/SmtpSecureStart.h"
#include "net/SmtpSignIn.h"
#include "notify/EmailQueue.h"
#include "notify/NoticeSender.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "run/Run.h"
#include "support/AiosmtpdServer.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

constexpr const char* kUser = "docketing@office.example";
constexpr const char* kPassword = "s3cret pa55";
constexpr const char* kToken = "ya29.a0-Test-Token_value";
// The patent numbers of the three notices a batch test queues.
const std::vector<std::string> kThreePatents = {"1,111,111", "2,222,222", "3,333,333"};

class SecureMailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PythonHasAiosmtpdAndTrustme()) {
      GTEST_SKIP() << "/usr/bin/python3 cannot import aiosmtpd and trustme";
    }
    CSettings& s = Settings();
    s.LogDir.Set(queue_.Path());
    s.ReturnAddress.Set("docketing@office.example");
    s.NotifyAddress.Items() = {"partners@office.example"};
    s.OrgName.Set("Hollis & Marsh");
    // The activity report is not due, so a batch is the office's own notices.
    s.CountEmailBatchSucceeded.SetInt(1);
    LoadRules(test_.App());
  }

  CSettings& Settings() { return test_.App().Settings(); }

  // Starts the server with the script's options and points the settings at it by name, with
  // the run's test CA as the office's CA file.
  void Start(const std::vector<std::string>& options) {
    server_ = std::make_unique<CAiosmtpdServer>(received_.Path(), kUser, kPassword, options);
    ASSERT_TRUE(server_->Port().has_value());
    Settings().SmtpServer.Set("localhost:" + std::to_string(*server_->Port()));
    Settings().CaFile.Set(received_.File("ca.pem"));
  }
  void SignInWithPassword() {
    Settings().UserName.Set(kUser);
    Settings().Password.Set(ScramblePassword(kPassword));
  }

  // Sends one message file the way a test e-mail goes: the error text.
  std::string Send(const std::string& message) {
    const std::string path = queue_.File("message.tmp");
    EXPECT_TRUE(SaveFileAtomically(path, message));
    return SendEmailFile(test_.App(), path, "message.tmp", MailRecipient::kReturnAddress);
  }
  // Queues a status notice and sends the queue: the message box shown, if any.
  void QueueNotice() {
    CEntry entry;
    entry.Text(kPatNum) = "7,654,321";
    entry.Text(kReference) = "HM-0042";
    ASSERT_EQ(PostEmail(test_.App(), entry, kTemplateStatusChange, "s"), "");
  }
  void QueueNotices(const std::vector<std::string>& patents) {
    for (const std::string& patent : patents) {
      CEntry entry;
      entry.Text(kPatNum) = patent;
      ASSERT_EQ(PostEmail(test_.App(), entry, kTemplateStatusChange, "s"), "");
    }
  }
  std::string SendQueue() {
    test_.Ui().messages.clear();
    EXPECT_TRUE(SendPendingEmail(test_.App(), false, false));
    if (test_.Ui().messages.empty()) return std::string();
    return test_.Ui().messages.back().caption + ": " + test_.Ui().messages.back().text;
  }
  // The pending list's text; "" when there is none.
  std::string PendingList() {
    std::string pending;
    ReadWholeFile(queue_.File(kPendingListName), pending);
    return pending;
  }
  bool NoticeQueued() {
    return PendingList() == "Larkspire_s7654321.tmp\r\n" &&
           FileExists(queue_.File("Larkspire_s7654321.tmp"));
  }
  // Ends the server of one case, and its record of the messages with it, before the next.
  void StopServer() {
    server_.reset();
    std::remove(received_.File("messages.txt").c_str());
  }

  // Posts the notices inside one batch, as an update run does, with a sender taking them in at
  // every entry boundary; then gives it up to max_wait_ms to have nothing left to take or to
  // give up, and finishes it before the batch is committed. Returns how many messages the
  // server had taken by then, before the finish.
  std::size_t UpdateRunPosting(const std::vector<std::string>& patents, int max_wait_ms = 10000) {
    CRun& app = test_.App();
    CEmailBatch batch(app);
    CNoticeSender sender(app);
    for (const std::string& patent : patents) {
      CEntry entry;
      entry.Text(kPatNum) = patent;
      EXPECT_EQ(PostEmail(app, entry, kTemplateStatusChange, "s"), "");
      sender.Pump();
    }
    for (int waited = 0; waited < max_wait_ms && !UncommittedMessages(app).empty() &&
                         Log().find("Send E-Mail error") == std::string::npos;
         waited += 10) {
      sender.Pump();
      app.PumpEvents(10);
    }
    const std::size_t taken = Taken().size();
    sender.Finish();
    return taken;
  }
  std::string Log() {
    std::string log;
    ReadWholeFile(test_.App().Log().Path(), log);
    return log;
  }
  std::size_t MessageFiles() {
    std::size_t count = 0;
    for (const std::string& patent : kThreePatents) {
      count += FileExists(queue_.File("Larkspire_s" + Digits(patent) + ".tmp")) ? 1 : 0;
    }
    return count;
  }
  static std::string Digits(std::string text) {
    std::erase(text, ',');
    return text;
  }

  std::string Received(const char* name) {
    std::string bytes;
    ReadWholeFile(received_.File(name), bytes);
    return bytes;
  }

  // What the server took: for each message, the number of the connection it came over and the
  // end of its Subject line (the patent number).
  std::vector<std::string> Taken() {
    std::vector<std::string> taken;
    const std::string text = Received("messages.txt");
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = text.substr(start, end - start);
      taken.push_back(line.substr(0, line.find(' ')) + " " + line.substr(line.rfind(' ') + 1));
    }
    return taken;
  }
  long CountSent(const std::string& prefix) {
    const std::vector<std::string> sent = SentAndTls();
    return std::count_if(sent.begin(), sent.end(),
                         [&prefix](const std::string& text) { return text.rfind(prefix, 0) == 0; });
  }

  // What the client sent, in order: the flow log's "Sending" lines, and "TLS" where TLS began;
  // from the flow log's line flow_start_ on.
  std::vector<std::string> SentAndTls() {
    std::vector<std::string> out;
    const std::vector<std::string> texts = test_.FlowTexts();
    for (auto it = texts.begin() + static_cast<long>(flow_start_); it < texts.end(); ++it) {
      const std::string& text = *it;
      if (text.rfind("SendMail: Sending ", 0) == 0 && text != "SendMail: Sending...") {
        out.push_back(text.substr(18));
      } else if (text.rfind("SendMail: TLS started (TLSv1.", 0) == 0) {
        out.push_back("TLS");
      }
    }
    return out;
  }
  void ExpectFlowNeverShows(const std::vector<std::string>& secrets) {
    for (const std::string& line : test_.FlowTexts()) {
      for (const std::string& secret : secrets) {
        EXPECT_EQ(line.find(secret), std::string::npos) << line;
      }
    }
  }

  CTempDir received_;
  CTempDir queue_;
  CNetTestApp test_{20000};
  std::unique_ptr<CAiosmtpdServer> server_;
  std::size_t flow_start_ = 0;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST_F(SecureMailTest, StartTlsSignsInWithPlainAndSaysNothingButEhloBeforeTls) {
  Start({"--tls", "starttls", "--mechanisms", "LOGIN,PLAIN"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  const std::string body =
      "Subject: Status of HM-0042\r\n\r\nThe status of Larkspire\xAE "
      "entry HM-0042 has changed.\r\n";
  EXPECT_EQ(Send(body), "");

  EXPECT_EQ(Received("login.txt"), kUser);
  // Both offered; PLAIN goes in one exchange.
  EXPECT_EQ(Received("mechanism.txt"), "PLAIN");
  EXPECT_EQ(Received("tls.txt").rfind("TLSv1.", 0), 0u) << Received("tls.txt");
  // 8-bit text is declared to a server that takes it.
  EXPECT_EQ(Received("mail_options.txt"), "BODY=8BITMIME");
  const std::string ehlo = Received("ehlo.txt");
  EXPECT_TRUE(ehlo == "[127.0.0.1]" ||
              (ehlo.find('.') != std::string::npos && ehlo.front() != '.' && ehlo.back() != '.'))
      << "EHLO " << ehlo << " is neither a fully qualified name nor an address literal";

  const std::vector<std::string> sent = SentAndTls();
  const std::vector<std::string> expected = {"'EHLO " + ehlo + "\\r\\n' ...",
                                             "'STARTTLS\\r\\n' ...",
                                             "TLS",
                                             "'EHLO " + ehlo + "\\r\\n' ...",
                                             "AUTH PLAIN ***password***",
                                             "'MAIL From: <docketing@office.example> "
                                             "BODY=8BITMIME\\r\\n' ...",
                                             "'RCPT To: <docketing@office.example>\\r\\n' ...",
                                             "'DATA\\r\\n' ..."};
  ASSERT_GE(sent.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + expected.size()), expected);
  EXPECT_TRUE(test_.FlowHas("SendMail: Starting TLS with localhost ..."));
  ExpectFlowNeverShows({kPassword, Base64Encode(kPassword), PlainCredentials(kUser, kPassword)});

  // The message gains its MIME headers, the charset its bytes are.
  const std::vector<std::string> lines = Lines(Received("data.eml"));
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[0].rfind("Date: ", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 5),
            (std::vector<std::string>{"From: docketing@office.example",
                                      "Reply-to: docketing@office.example",
                                      "To: docketing@office.example", "X-Mailer: Larkspire"}));
  EXPECT_TRUE(std::regex_match(lines[5], std::regex("Message-ID: <[0-9a-f]{32}@office\\.example>")))
      << lines[5];
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()),
            (std::vector<std::string>{
                "MIME-Version: 1.0", "Content-Type: text/plain; charset=windows-1252",
                "Content-Transfer-Encoding: 8bit", "Subject: Status of HM-0042", "",
                "The status of Larkspire\xAE entry HM-0042 has changed.", ""}));
  // A loopback server: no warning about the password.
  std::string log;
  ReadWholeFile(queue_.File(kLogFileName), log);
  EXPECT_EQ(log.find("warning"), std::string::npos) << log;
}

TEST_F(SecureMailTest, ImplicitTlsIsUpBeforeTheGreetingAndSignsInWithLogin) {
  Start({"--tls", "implicit", "--mechanisms", "LOGIN"});
  Settings().SmtpSecurity.Set("TLS");
  SignInWithPassword();
  EXPECT_EQ(Send("Subject: Test\r\n\r\nPlain text only.\r\n"), "");
  EXPECT_EQ(Received("mechanism.txt"), "LOGIN");
  EXPECT_EQ(Received("login.txt"), kUser);
  EXPECT_EQ(Received("tls.txt").rfind("TLSv1.", 0), 0u);
  EXPECT_EQ(Received("mail_options.txt"), "");

  const std::vector<std::string> sent = SentAndTls();
  ASSERT_GE(sent.size(), 5u);
  EXPECT_EQ(sent[0], "TLS");
  EXPECT_EQ(sent[2], "'AUTH LOGIN\\r\\n' ...");
  EXPECT_EQ(sent[3], "'" + Base64Encode(kUser) + "\\r\\n' ...");
  EXPECT_EQ(sent[4], "***password***");
  ExpectFlowNeverShows({kPassword, Base64Encode(kPassword)});
  EXPECT_NE(Received("data.eml")
                .find("\r\nContent-Type: text/plain; charset=us-ascii\r\n"
                      "Content-Transfer-Encoding: 7bit\r\nSubject: Test\r\n"),
            std::string::npos);
}

TEST_F(SecureMailTest, XOAuth2SignsInWithTheTokenTheCommandPrints) {
  Start({"--tls", "starttls", "--mechanisms", "LOGIN,PLAIN,XOAUTH2", "--token", kToken});
  Settings().SmtpSecurity.Set("STARTTLS");
  Settings().SmtpAuth.Set("Token");
  Settings().UserName.Set(kUser);
  Settings().SmtpTokenCommand.Set(std::string("/bin/echo ") + kToken);
  EXPECT_EQ(Send("Subject: Test\r\n\r\nSigned in with a token.\r\n"), "");
  EXPECT_EQ(Received("mechanism.txt"), "XOAUTH2");
  EXPECT_EQ(Received("login.txt"), kUser);
  const std::vector<std::string> sent = SentAndTls();
  EXPECT_NE(std::find(sent.begin(), sent.end(), "AUTH XOAUTH2 ***token***"), sent.end());
  EXPECT_TRUE(test_.FlowHas("SendMail: The token command printed a token"));
  ExpectFlowNeverShows({kToken, XOAuth2Credentials(kUser, kToken)});
}

TEST_F(SecureMailTest, TokenFailuresAreClearAndKeepTheMessageQueued) {
  Start({"--tls", "starttls", "--mechanisms", "LOGIN,PLAIN,XOAUTH2", "--token", kToken});
  Settings().SmtpSecurity.Set("STARTTLS");
  Settings().SmtpAuth.Set("Token");
  Settings().UserName.Set(kUser);
  const struct {
    std::string command;
    std::string error;
    bool connects;
  } cases[] = {
      {"/bin/echo ya29.expired-token",
       std::string(kSmtpSignInRefusedMessage) +
           " The server answered: 535 5.7.8 Authentication credentials invalid",
       true},
      {"/bin/sh -c \"echo 'invalid_grant: token revoked' >&2; exit 2\"",
       "SMTP: The token command '/bin/sh' failed (exit status 2: invalid_grant: token revoked).",
       false},
      {"/bin/true", "SMTP: The token command '/bin/true' printed no token.", false},
      {"",
       "SMTP: No token command is set. Enter the command that prints the access token in the "
       "advanced SMTP settings.",
       false},
  };
  QueueNotice();
  for (const auto& c : cases) {
    const std::size_t flow_before = test_.FlowTexts().size();
    Settings().SmtpTokenCommand.Set(c.command);
    EXPECT_EQ(SendQueue(), "Larkspire\xAE - Send Nofications Failed: " + c.error) << c.command;
    EXPECT_TRUE(NoticeQueued()) << c.command;
    const std::vector<std::string> texts = test_.FlowTexts();
    const bool connected = std::any_of(
        texts.begin() + static_cast<long>(flow_before), texts.end(),
        [](const std::string& text) { return text.rfind("SendMail: Connecting to ", 0) == 0; });
    EXPECT_EQ(connected, c.connects) << c.command;
  }
  EXPECT_FALSE(FileExists(received_.File("data.eml")));
}

TEST_F(SecureMailTest, AServerDemandingStartTlsWhileSecurityIsNoneSaysWhatToChange) {
  Start({"--tls", "require-starttls", "--mechanisms", "LOGIN"});
  QueueNotice();
  for (bool with_user : {false, true}) {
    // A stored configuration from before the setting: the plain dialogue, HELO or AUTH LOGIN.
    Settings().UserName.Set(with_user ? kUser : "");
    Settings().Password.Set(with_user ? ScramblePassword(kPassword) : "");
    EXPECT_EQ(SendQueue(), std::string("Larkspire\xAE - Send Nofications Failed: ") +
                               kSmtpNeedsTlsMessage +
                               " The server answered: 530 Must issue a STARTTLS command first")
        << with_user;
    EXPECT_TRUE(NoticeQueued());
  }
  // Said once, STARTTLS does it.
  Settings().SmtpSecurity.Set("STARTTLS");
  EXPECT_EQ(SendQueue(), "");
  EXPECT_FALSE(EmailPending(test_.App()));
  EXPECT_EQ(Received("rcpt_tos.txt"), "partners@office.example");
}

TEST_F(SecureMailTest, ACertificateForAnotherHostIsRefusedBeforeAnythingIsSaid) {
  SignInWithPassword();
  QueueNotice();
  for (const char* mode : {"starttls", "implicit"}) {
    Start({"--tls", mode, "--cert-name", "mail.elsewhere.example"});
    Settings().SmtpSecurity.Set(mode == std::string("implicit") ? "TLS" : "STARTTLS");
    EXPECT_EQ(SendQueue(),
              "Larkspire\xAE - Send Nofications Failed: TLS: certificate of localhost not accepted "
              "(wrong host name: the certificate is for mail.elsewhere.example).")
        << mode;
    EXPECT_TRUE(NoticeQueued()) << mode;
    for (const std::string& sent : SentAndTls()) {
      EXPECT_TRUE(sent.rfind("'EHLO ", 0) == 0 || sent == "'STARTTLS\\r\\n' ...") << sent;
    }
    server_.reset();
  }
  EXPECT_FALSE(FileExists(received_.File("data.eml")));
}

TEST_F(SecureMailTest, GreylistingKeepsTheMessageForTheNextRun) {
  Start({"--tls", "starttls", "--greylist"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  QueueNotice();
  EXPECT_EQ(SendQueue(), std::string("Larkspire\xAE - Send Nofications Failed: ") +
                             kSmtpTemporaryMessage +
                             " The server answered: 450 4.2.0 Greylisted, please try again later");
  EXPECT_TRUE(NoticeQueued());
  EXPECT_EQ(Settings().CountEmailBatchFailed.Int(0), 1);

  // The next run: the server knows the recipient now.
  EXPECT_EQ(SendQueue(), "");
  EXPECT_FALSE(EmailPending(test_.App()));
  EXPECT_FALSE(FileExists(queue_.File("Larkspire_s7654321.tmp")));
  EXPECT_EQ(Received("rcpt_tos.txt"), "partners@office.example");
  EXPECT_NE(Received("data.eml").find("7,654,321"), std::string::npos);
}

TEST_F(SecureMailTest, AServerWithoutStartTlsIsNeverSpokenToInClearText) {
  Start({"--mechanisms", "LOGIN,PLAIN"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  const std::string error = Send("Subject: Test\r\n\r\nNever sent.\r\n");
  EXPECT_EQ(error.rfind(std::string(kSmtpNoStartTlsMessage) + " The server answered: 250 ", 0), 0u)
      << error;
  EXPECT_NE(error.find("AUTH LOGIN PLAIN"), std::string::npos) << error;
  const std::vector<std::string> sent = SentAndTls();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].rfind("'EHLO ", 0), 0u);
  EXPECT_FALSE(FileExists(received_.File("data.eml")));
}

TEST_F(SecureMailTest, ASignInTheServerDoesNotOfferIsAClearError) {
  const struct {
    const char* mechanisms;
    const char* auth;
    std::string error;
  } cases[] = {
      {"XOAUTH2", "Password", kSmtpNoPasswordSignInMessage},
      {"LOGIN,PLAIN", "Token", kSmtpNoTokenSignInMessage},
  };
  for (const auto& c : cases) {
    Start({"--tls", "implicit", "--mechanisms", c.mechanisms, "--token", kToken});
    Settings().SmtpSecurity.Set("TLS");
    SignInWithPassword();
    Settings().SmtpAuth.Set(c.auth);
    Settings().SmtpTokenCommand.Set(std::string("/bin/echo ") + kToken);
    const std::string error = Send("Subject: Test\r\n\r\nNever sent.\r\n");
    // The error quotes what the server offers instead.
    EXPECT_EQ(error.rfind(c.error + " The server answered: 250 ", 0), 0u) << error;
    EXPECT_NE(error.find(std::string("AUTH ") +
                         (c.auth == std::string("Token") ? "LOGIN PLAIN" : "XOAUTH2")),
              std::string::npos)
        << error;
    for (const std::string& sent : SentAndTls()) {
      EXPECT_EQ(sent.find("AUTH"), std::string::npos) << sent;
    }
    server_.reset();
  }
  EXPECT_FALSE(FileExists(received_.File("data.eml")));
}

TEST_F(SecureMailTest, ABatchSignsInOnceAndSendsEveryMessageOverOneSession) {
  for (const char* mode : {"starttls", "implicit"}) {
    Start({"--tls", mode, "--mechanisms", "LOGIN,PLAIN"});
    Settings().SmtpSecurity.Set(mode == std::string("implicit") ? "TLS" : "STARTTLS");
    SignInWithPassword();
    QueueNotices(kThreePatents);
    flow_start_ = test_.FlowTexts().size();
    EXPECT_EQ(SendQueue(), "") << mode;
    EXPECT_FALSE(EmailPending(test_.App())) << mode;
    EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "1 2,222,222", "1 3,333,333"}))
        << mode;

    const std::vector<std::string> sent = SentAndTls();
    EXPECT_EQ(CountSent("TLS"), 1) << mode;
    EXPECT_EQ(CountSent("'EHLO "), mode == std::string("implicit") ? 1 : 2) << mode;
    EXPECT_EQ(CountSent("AUTH PLAIN "), 1) << mode;
    EXPECT_EQ(CountSent("'MAIL From: "), 3) << mode;
    // The one goodbye comes after the last message.
    EXPECT_EQ(CountSent("'QUIT"), 1) << mode;
    EXPECT_EQ(sent.back(), "'QUIT\\r\\n' ...") << mode;
    // Each message is still its own send with its own log line and count.
    std::string log;
    ReadWholeFile(queue_.File(kLogFileName), log);
    for (const char* name :
         {"Larkspire_s1111111.tmp", "Larkspire_s2222222.tmp", "Larkspire_s3333333.tmp"}) {
      EXPECT_NE(log.find(std::string("Send E-Mail '") + name + "'"), std::string::npos) << name;
      EXPECT_FALSE(FileExists(queue_.File(name))) << name;
    }
    const std::vector<std::string> texts = test_.FlowTexts();
    EXPECT_EQ(
        std::count(texts.begin() + static_cast<long>(flow_start_), texts.end(), "SendMail: Closed"),
        1)
        << mode;
    StopServer();
  }
  EXPECT_EQ(Settings().CountEmailBatchSucceeded.Int(0), 7);
  EXPECT_EQ(Settings().CountEmailBatchFailed.Int(0), 0);
}

TEST_F(SecureMailTest, AFailedMessageEndsTheBatchAndTheNextBatchOpensANewSession) {
  Start({"--tls", "starttls", "--refuse-rcpt", "2"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  QueueNotices(kThreePatents);
  EXPECT_EQ(SendQueue(),
            "Larkspire\xAE - Send Nofications Failed: " + std::string(kSmtpRecipientMessage) +
                " The server answered: 550 5.1.1 Mailbox unavailable");
  EXPECT_EQ(PendingList(), "Larkspire_s2222222.tmp\r\nLarkspire_s3333333.tmp\r\n");
  EXPECT_FALSE(FileExists(queue_.File("Larkspire_s1111111.tmp")));
  EXPECT_TRUE(FileExists(queue_.File("Larkspire_s2222222.tmp")));
  EXPECT_TRUE(FileExists(queue_.File("Larkspire_s3333333.tmp")));
  // The server answered the refused RCPT and waits for a command: it is told goodbye.
  EXPECT_EQ(SentAndTls().back(), "'QUIT\\r\\n' ...");
  EXPECT_EQ(CountSent("'MAIL From: "), 2);

  EXPECT_EQ(SendQueue(), "");
  EXPECT_FALSE(EmailPending(test_.App()));
  EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "2 2,222,222", "2 3,333,333"}));
  EXPECT_EQ(CountSent("TLS"), 2);
  EXPECT_EQ(CountSent("'QUIT"), 2);
  EXPECT_EQ(Settings().CountEmailBatchSucceeded.Int(0), 4);
  EXPECT_EQ(Settings().CountEmailBatchFailed.Int(0), 1);
}

TEST_F(SecureMailTest, ASessionTheServerEndedBetweenMessagesIsReplacedAndNothingIsLost) {
  const struct {
    std::vector<std::string> options;
    const char* flow_note;
  } cases[] = {
      // Hung up after a message's 250: seen before the next MAIL (or else by it).
      {{"--close-after-message", "1"}, "kept session"},
      // Hung up at the next MAIL: nothing of the message was taken, so it goes again.
      {{"--hang-up-at-mail", "2"},
       "SendMail: The kept session ended before the server answered; the message goes over a new "
       "one."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> options = {"--tls", "starttls"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    Start(options);
    Settings().SmtpSecurity.Set("STARTTLS");
    SignInWithPassword();
    QueueNotices(kThreePatents);
    flow_start_ = test_.FlowTexts().size();
    EXPECT_EQ(SendQueue(), "") << c.options[0];
    EXPECT_FALSE(EmailPending(test_.App())) << c.options[0];
    EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "2 2,222,222", "2 3,333,333"}))
        << c.options[0];
    const std::vector<std::string> texts = test_.FlowTexts();
    EXPECT_TRUE(std::any_of(
        texts.begin() + static_cast<long>(flow_start_), texts.end(),
        [&c](const std::string& text) { return text.find(c.flow_note) != std::string::npos; }))
        << c.options[0];
    StopServer();
  }
  EXPECT_EQ(Settings().CountEmailBatchFailed.Int(0), 0);
  EXPECT_EQ(Settings().CountEmailBatchSucceeded.Int(0), 7);
}

// A server that offers PIPELINING gets each message's MAIL, RCPT and DATA in one piece (the
// server notes whether DATA had arrived when it took MAIL), and a refusal among their replies
// fails the message as it does one command at a time.
TEST_F(SecureMailTest, AServerOfferingPipeliningGetsEachMessagesCommandsTogether) {
  const struct {
    std::vector<std::string> options;
    std::string error;
    std::string pending;
    std::string pipelined;
  } cases[] = {
      {{}, "", "", "111"},
      // Hung up on the second group before MAIL's reply: nothing of it was taken, so it goes
      // again over a new session.
      {{"--hang-up-at-mail", "2"}, "", "", "1111"},
      {{"--refuse-rcpt", "2"},
       "Larkspire\xAE - Send Nofications Failed: " + std::string(kSmtpRecipientMessage) +
           " The server answered: 550 5.1.1 Mailbox unavailable",
       "Larkspire_s2222222.tmp\r\nLarkspire_s3333333.tmp\r\n",
       "11"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    std::vector<std::string> options = {"--tls", "starttls", "--pipelining"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    Start(options);
    Settings().SmtpSecurity.Set("STARTTLS");
    SignInWithPassword();
    QueueNotices(kThreePatents);
    EXPECT_EQ(SendQueue(), c.error);
    EXPECT_EQ(PendingList(), c.pending);
    EXPECT_EQ(Received("pipelined.txt"), c.pipelined);
    if (c.error.empty()) {
      const std::string second = c.options.empty() ? "1 " : "2 ";
      EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", second + "2,222,222",
                                                   second + "3,333,333"}));
    }
    std::remove(received_.File("pipelined.txt").c_str());
    StopServer();
  }
}

TEST_F(SecureMailTest, ASessionThatTimedOutIsNeverUsedAgain) {
  Start({"--tls", "starttls", "--stall-rcpt", "2"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  test_.App().SetTimeoutMs(3000);
  test_.UseWindowTimer();
  QueueNotices(kThreePatents);
  // The error names the server and what it did not do in time.
  EXPECT_EQ(SendQueue(), "Larkspire\xAE - Send Nofications Failed: SMTP: The server " +
                             Settings().SmtpServer.Text() +
                             " did not take the message within 3 s.");
  EXPECT_EQ(PendingList(), "Larkspire_s2222222.tmp\r\nLarkspire_s3333333.tmp\r\n");
  // The server still owes the RCPT its reply: a QUIT now would be taken for something else.
  EXPECT_EQ(CountSent("'QUIT"), 0);

  EXPECT_EQ(SendQueue(), "");
  EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "2 2,222,222", "2 3,333,333"}));
  EXPECT_EQ(CountSent("TLS"), 2);
  EXPECT_EQ(CountSent("'QUIT"), 1);
}

TEST_F(SecureMailTest, AnUnattendedRunSendsEachNoticeOverTlsAsItIsWrittenAndListsNone) {
  Start({"--tls", "starttls", "--pipelining"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  test_.App().Status().auto_run = true;
  EXPECT_EQ(UpdateRunPosting(kThreePatents), 3u);
  EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "1 2,222,222", "1 3,333,333"}));
  EXPECT_EQ(PendingList(), "");
  EXPECT_EQ(MessageFiles(), 0u);
  EXPECT_EQ(Settings().CountEmailPost.Int(0), 3);
  EXPECT_EQ(Settings().CountEmailBatchSucceeded.Int(0), 1 + 3);
  EXPECT_EQ(CountSent("'QUIT"), 1);
  // The end of the run has nothing left to send.
  EXPECT_EQ(SendQueue(),
            "Larkspire\xAE: There aren't any e-mail notifications waiting to be sent.");
}

TEST_F(SecureMailTest, TheFinishSendsWhatTheLastEntriesWroteOverTheSessionAlreadyOpen) {
  Start({"--tls", "starttls"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  test_.App().Status().auto_run = true;
  {
    CEmailBatch batch(test_.App());
    CNoticeSender sender(test_.App());
    QueueNotices({kThreePatents[0]});
    sender.Pump();
    // The first is sent and taken in, and the sender is idle when the last two are written.
    for (int waited = 0; waited < 10000 && !UncommittedMessages(test_.App()).empty();
         waited += 10) {
      test_.App().PumpEvents(10);
      sender.Pump();
    }
    QueueNotices({kThreePatents[1], kThreePatents[2]});
    sender.Finish();
  }
  EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "1 2,222,222", "1 3,333,333"}));
  EXPECT_EQ(PendingList(), "");
  EXPECT_EQ(MessageFiles(), 0u);
}

TEST_F(SecureMailTest, RunsWithAUserAndThePlainDialogueLeaveEveryNoticeForTheEnd) {
  struct Case {
    const char* name;
    bool auto_run;
    const char* security;
  };
  for (const Case& c :
       {Case{"a run with a user", false, "STARTTLS"}, Case{"the plain dialogue", true, "None"}}) {
    SCOPED_TRACE(c.name);
    Start({"--tls", c.security == std::string("None") ? "none" : "starttls"});
    Settings().SmtpSecurity.Set(c.security);
    SignInWithPassword();
    test_.App().Status().auto_run = c.auto_run;
    // Long enough for all three to go, were they sent early.
    EXPECT_EQ(UpdateRunPosting(kThreePatents, 500), 0u);
    EXPECT_EQ(Taken(), std::vector<std::string>{});
    EXPECT_EQ(PendingList(),
              "Larkspire_s1111111.tmp\r\nLarkspire_s2222222.tmp\r\nLarkspire_s3333333.tmp\r\n");
    EXPECT_EQ(MessageFiles(), 3u);
    EXPECT_EQ(SendQueue(), "");
    EXPECT_EQ(Taken().size(), 3u);
    StopServer();
  }
}

TEST_F(SecureMailTest, TheFirstNoticeThatFailsStaysQueuedWithTheRestForTheEndOfTheRun) {
  Start({"--tls", "starttls", "--refuse-rcpt", "2"});
  Settings().SmtpSecurity.Set("STARTTLS");
  SignInWithPassword();
  test_.App().Status().auto_run = true;
  EXPECT_EQ(UpdateRunPosting(kThreePatents), 1u);
  EXPECT_EQ(Taken(), std::vector<std::string>{"1 1,111,111"});
  EXPECT_NE(Log().find("Send E-Mail error 'SMTP: Error in recipient's e-mail address."),
            std::string::npos);
  // Nothing more went early: the two left are listed, in order, for the send at the end.
  EXPECT_EQ(PendingList(), "Larkspire_s2222222.tmp\r\nLarkspire_s3333333.tmp\r\n");
  EXPECT_EQ(MessageFiles(), 2u);
  EXPECT_EQ(Settings().CountEmailPost.Int(0), 3);

  EXPECT_EQ(SendQueue(), "");
  EXPECT_EQ(Taken(), (std::vector<std::string>{"1 1,111,111", "2 2,222,222", "2 3,333,333"}));
  EXPECT_EQ(PendingList(), "");
}

}  // namespace
}  // namespace larkspire
