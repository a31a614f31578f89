// The SMTP security and sign-in settings as stored, and when a password would travel in clear.
#include <gtest/gtest.h>

#include "net/MailSecurity.h"

namespace larkspire {
namespace {

TEST(MailSecurity, StoredTextsReadBackAndUnknownOnesNeverMeanClearText) {
  const struct {
    const char* text;
    MailSecurity security;
  } cases[] = {
      {"", MailSecurity::kNone},  // a settings file from before the setting
      {"None", MailSecurity::kNone},
      {"none", MailSecurity::kNone},
      {"STARTTLS", MailSecurity::kStartTls},
      {"StartTls", MailSecurity::kStartTls},
      {"TLS", MailSecurity::kTls},
      {"tls", MailSecurity::kTls},
      {"SSL", MailSecurity::kStartTls},
      {"Non", MailSecurity::kStartTls},
      {"None ", MailSecurity::kStartTls},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseMailSecurity(c.text), c.security) << c.text;
  for (MailSecurity security : {MailSecurity::kNone, MailSecurity::kStartTls, MailSecurity::kTls}) {
    EXPECT_EQ(ParseMailSecurity(MailSecurityText(security)), security);
  }
  EXPECT_EQ(DefaultMailPort(MailSecurity::kNone), 25);
  EXPECT_EQ(DefaultMailPort(MailSecurity::kStartTls), 587);
  EXPECT_EQ(DefaultMailPort(MailSecurity::kTls), 465);

  EXPECT_EQ(ParseMailAuth(""), MailAuth::kPassword);
  EXPECT_EQ(ParseMailAuth("token"), MailAuth::kToken);
  EXPECT_EQ(ParseMailAuth("Bearer"), MailAuth::kPassword);
  for (MailAuth auth : {MailAuth::kPassword, MailAuth::kToken}) {
    EXPECT_EQ(ParseMailAuth(MailAuthText(auth)), auth);
  }
}

TEST(MailSecurity, LoopbackHosts) {
  const struct {
    const char* host;
    bool loopback;
  } cases[] = {
      {"localhost", true},     {"LocalHost", true},          {"127.0.0.1", true},
      {"127.8.9.10", true},    {"128.0.0.1", false},         {"10.0.0.25", false},
      {"mail.example", false}, {"localhost.example", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsLoopbackHost(c.host), c.loopback) << c.host;
  EXPECT_EQ(MailHostOf("mail.example:2525"), "mail.example");
  EXPECT_EQ(MailHostOf("mail.example"), "mail.example");
}

TEST(MailSecurity, WarningOnlyForAPasswordInClearTextLeavingTheMachine) {
  const struct {
    MailSecurity security;
    const char* user;
    const char* server;
    bool warned;
  } cases[] = {
      {MailSecurity::kNone, "ann", "mail.hollis.example", true},
      {MailSecurity::kNone, "ann", "10.1.2.3:25", true},
      {MailSecurity::kNone, "", "mail.hollis.example", false},
      {MailSecurity::kNone, "ann", "127.0.0.1:2525", false},
      {MailSecurity::kNone, "ann", "localhost", false},
      {MailSecurity::kStartTls, "ann", "mail.hollis.example", false},
      {MailSecurity::kTls, "ann", "mail.hollis.example:465", false},
  };
  for (const auto& c : cases) {
    const std::string warning = UnencryptedPasswordWarning(c.security, c.user, c.server);
    EXPECT_EQ(!warning.empty(), c.warned) << c.server;
    if (c.warned) {
      EXPECT_NE(warning.find(MailHostOf(c.server)), std::string::npos) << warning;
      EXPECT_NE(warning.find("STARTTLS"), std::string::npos) << warning;
    }
  }
}

}  // namespace
}  // namespace larkspire
