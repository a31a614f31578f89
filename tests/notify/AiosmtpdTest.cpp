// The SMTP client against a real SMTP server implementation (Debian's python3-aiosmtpd),
// started on loopback with AUTH LOGIN required.
#include <gtest/gtest.h>

#include "net/PasswordScramble.h"
#include "net/SendMail.h"
#include "notify/EmailQueue.h"
#include "platform/Files.h"
#include "support/AiosmtpdServer.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

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
