// Reading SMTP replies, and the error texts a refused step gives under each security setting.
#include <gtest/gtest.h>

#include "net/SmtpDialogue.h"
#include "net/SmtpReply.h"
#include "net/SmtpSignIn.h"

namespace larkspire {
namespace {

TEST(SmtpReply, EhloReplyTellsWhatTheServerOffers) {
  const struct {
    const char* reply;
    bool starttls;
    bool eight_bit_mime;
    std::vector<std::string> auth;
  } cases[] = {
      {"250 mail.example greets you\r\n", false, false, {}},
      // The greeting line is the server's name, never an extension, whatever it says.
      {"250-STARTTLS\r\n250 HELP\r\n", false, false, {}},
      {"250-mail.example\r\n250-SIZE 35882577\r\n250-8BITMIME\r\n250-STARTTLS\r\n"
       "250-ENHANCEDSTATUSCODES\r\n250 SMTPUTF8\r\n",
       true,
       true,
       {}},
      {"250-mail.example\r\n250-AUTH LOGIN PLAIN XOAUTH2\r\n250 HELP\r\n",
       false,
       false,
       {"LOGIN", "PLAIN", "XOAUTH2"}},
      // Keywords in any case, the older "AUTH=" form beside the standard one, each mechanism
      // once, and a last line without its line end.
      {"250-mail.example\r\n250-auth=login\r\n250-Auth Login  cram-md5\tplain\r\n250 starttls",
       true,
       false,
       {"LOGIN", "CRAM-MD5", "PLAIN"}},
      // A bare LF ends a line as well; words that only start like a keyword are not it.
      {"250-mail.example\n250-STARTTLSX\n250-AUTHENTICATE PLAIN\n250 AUTH\n", false, false, {}},
  };
  for (const auto& c : cases) {
    const SmtpCapabilities offered = ParseEhloReply(c.reply);
    EXPECT_EQ(offered.starttls, c.starttls) << c.reply;
    EXPECT_EQ(offered.eight_bit_mime, c.eight_bit_mime) << c.reply;
    EXPECT_EQ(offered.auth, c.auth) << c.reply;
  }
  const SmtpCapabilities offered = ParseEhloReply("250-x\r\n250 AUTH PLAIN\r\n");
  EXPECT_TRUE(offered.OffersAuth("plain"));
  EXPECT_FALSE(offered.OffersAuth("LOGIN"));
}

TEST(SmtpReply, TemporaryAndTlsDemandingReplies) {
  const struct {
    const char* reply;
    bool temporary;
    bool demands_tls;
  } cases[] = {
      {"450 4.2.0 Greylisted\r\n", true, false},
      {"421 4.3.2 Service not available\r\n", true, false},
      {"454 4.7.0 TLS not available due to temporary reason\r\n", true, false},
      {"4xx\r\n", false, false},
      {"550 5.1.1 No such user\r\n", false, false},
      {"530 Must issue a STARTTLS command first\r\n", false, true},
      {"530-5.7.0 Must issue a\r\n530 5.7.0 starttls command first.\r\n", false, true},
      {"538 5.7.11 Encryption required for requested authentication mechanism\r\n", false, true},
      {"530 5.7.0 Authentication required\r\n", false, false},
      {"550 5.7.0 TLS required\r\n", false, false},
      {"", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTemporaryReply(c.reply), c.temporary) << c.reply;
    EXPECT_EQ(DemandsTls(c.reply), c.demands_tls) << c.reply;
  }
}

TEST(SmtpReply, ReplyLineJoinsLinesAndKeepsOnlyPrintableText) {
  EXPECT_EQ(ReplyLine("550 5.1.1 No such user\r\n"), "550 5.1.1 No such user");
  EXPECT_EQ(ReplyLine("550-5.1.1 The account does not exist.\r\n550-5.1.1 Learn more at\r\n"
                      "550 5.1.1 https://help.example/nouser\r\n"),
            "550 5.1.1 The account does not exist. 5.1.1 Learn more at 5.1.1 "
            "https://help.example/nouser");
  EXPECT_EQ(ReplyLine("554 bad\x07\x1b[2Jtext\x7f\r\n"), "554 bad  [2Jtext ");
  EXPECT_EQ(ReplyLine("\r\n"), "");
  const std::string endless = "250-" + std::string(5000, 'x') + "\r\n250 end\r\n";
  const std::string line = ReplyLine(endless);
  EXPECT_EQ(line.size(), kMaxReplyLineBytes);
  EXPECT_EQ(line.substr(line.size() - 3), "...");
}

TEST(SmtpFailureText, PlainDialogueKeepsItsTextsOthersQuoteTheServer) {
  const std::string rcpt_error = "SMTP: Error in recipient's e-mail address.";
  const struct {
    MailSecurity security;
    const char* reply;
    std::string text;
  } cases[] = {
      // The plain dialogue's fixed texts, also for a temporary failure.
      {MailSecurity::kNone, "550 5.1.1 No such user\r\n", rcpt_error},
      {MailSecurity::kNone, "450 4.2.0 Greylisted\r\n", rcpt_error},
      // ... except where the server wants TLS: then what to change.
      {MailSecurity::kNone, "530 Must issue a STARTTLS command first\r\n",
       std::string(kSmtpNeedsTlsMessage) +
           " The server answered: 530 Must issue a STARTTLS command first"},
      {MailSecurity::kStartTls, "550 5.1.1 No such user\r\n",
       rcpt_error + " The server answered: 550 5.1.1 No such user"},
      {MailSecurity::kTls, "450 4.2.0 Greylisted\r\n",
       std::string(kSmtpTemporaryMessage) + " The server answered: 450 4.2.0 Greylisted"},
      {MailSecurity::kStartTls, "\r\n", rcpt_error + " The server answered: (an empty line)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SmtpFailureText(rcpt_error, c.reply, c.security), c.text) << c.reply;
  }
}

TEST(SmtpSignIn, InitialResponsesAreTheDocumentedOnes) {
  // RFC 4616's form with an empty authorization identity.
  EXPECT_EQ(PlainCredentials("tim", "tanstaaftanstaaf"), "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");
  // The example of Google's XOAUTH2 protocol description.
  EXPECT_EQ(
      XOAuth2Credentials("someuser@example.com", "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg"),
      "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5LnZGOWRmdDRxbVRjMk52YjNSbGNr"
      "QmhkSFJoZG1semRHRXVZMjl0Q2cBAQ==");
}

}  // namespace
}  // namespace larkspire
