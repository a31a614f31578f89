// Signing in to the mail server over an encrypted session, by the mechanism the settings and
// the server's offer call for: a password by PLAIN (preferred, one exchange) or LOGIN, a token
// by XOAUTH2. The flow log never shows the password or the token.
#pragma once

#include <string>

#include "net/MailSecurity.h"

namespace larkspire {

class CSmtpDialogue;
struct SmtpCapabilities;

inline constexpr const char* kSmtpSignInRefusedMessage = "SMTP: The server refused the sign-in.";
inline constexpr const char* kSmtpNoPasswordSignInMessage =
    "SMTP: The server offers no sign-in with a password (AUTH PLAIN or LOGIN). Leave the user "
    "name empty if it takes mail without a sign-in, or choose the token command if it offers "
    "XOAUTH2.";
inline constexpr const char* kSmtpNoTokenSignInMessage =
    "SMTP: The server offers no sign-in with a token (AUTH XOAUTH2); choose sign-in with a "
    "password.";

// The initial responses, base64-encoded: "\0user\0password" and
// "user=<user>\x01auth=Bearer <token>\x01\x01".
std::string PlainCredentials(const std::string& user, const std::string& password);
std::string XOAuth2Credentials(const std::string& user, const std::string& token);

struct CSignIn {
  std::string user;  // empty: no sign-in
  std::string password;
  MailAuth auth = MailAuth::kPassword;
  std::string token;  // for MailAuth::kToken
};

void SignIn(CSmtpDialogue& smtp, const SmtpCapabilities& offered, const CSignIn& sign_in);

}  // namespace larkspire
