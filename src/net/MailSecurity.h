// How the SMTP client protects the connection and signs in, as chosen in the settings, and the
// texts those settings are stored as.
//
// Settings (group "Settings", beside SmtpServer, UserName and Password):
//   SmtpSecurity      "None", "STARTTLS" or "TLS". Missing or empty: None, the plain dialogue
//                     of a configuration made before the setting existed. Any other text is
//                     read as STARTTLS, so a mistyped value never sends in clear text.
//   SmtpAuth          "Password" (PLAIN or LOGIN, whichever the server offers) or "Token"
//                     (XOAUTH2 with a bearer token); missing or empty: Password.
//   SmtpTokenCommand  the command that prints the bearer token, run without a shell.
//   CaFile            a PEM file of the office's own certificate authorities, trusted beside
//                     the system's store; empty for the system's store alone.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

enum class MailSecurity {
  kNone,      // the plain dialogue: HELO, or EHLO with AUTH LOGIN
  kStartTls,  // plain connection upgraded by STARTTLS before anything else is said
  kTls,       // TLS from the first byte (implicit TLS, "SMTPS")
};

enum class MailAuth {
  kPassword,  // PLAIN or LOGIN with the user name and password
  kToken,     // XOAUTH2 with the user name and a token from the token command
};

inline constexpr const char* kSecurityNoneText = "None";
inline constexpr const char* kSecurityStartTlsText = "STARTTLS";
inline constexpr const char* kSecurityTlsText = "TLS";
inline constexpr const char* kAuthPasswordText = "Password";
inline constexpr const char* kAuthTokenText = "Token";

// The stored texts, compared without regard to case.
MailSecurity ParseMailSecurity(std::string_view text);
MailAuth ParseMailAuth(std::string_view text);
const char* MailSecurityText(MailSecurity security);
const char* MailAuthText(MailAuth auth);

// The port used when SmtpServer names none: 25, 587 or 465.
int DefaultMailPort(MailSecurity security);

// The host part of "host" or "host:port".
std::string MailHostOf(const std::string& server);
// localhost or an address in 127.0.0.0/8: traffic that never leaves the machine.
bool IsLoopbackHost(const std::string& host);

// The warning for a password that would cross the network in clear text: with security None, a
// user name (so the dialogue signs in) and a server that is not this machine. Empty when there
// is nothing to warn about.
std::string UnencryptedPasswordWarning(MailSecurity security, const std::string& user_name,
                                       const std::string& server);

}  // namespace larkspire
