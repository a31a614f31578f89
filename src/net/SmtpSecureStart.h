// The start of an SMTP session with STARTTLS or TLS chosen: TLS comes up before anything but
// EHLO and STARTTLS is said, EHLO names this host by its fully qualified name, and the sign-in
// follows over TLS. A server that does not offer STARTTLS ends the session there; there is no
// falling back to clear text.
#pragma once

#include <atomic>
#include <string>

#include "net/SmtpReply.h"
#include "net/SmtpSignIn.h"

namespace larkspire {

class CConnection;
class CSmtpDialogue;

inline constexpr const char* kSmtpNoStartTlsMessage =
    "SMTP: The server does not offer STARTTLS, so nothing was sent. Choose TLS if the server "
    "speaks TLS from the start (usually port 465), or None only for a relay on a network you "
    "trust.";
inline constexpr const char* kSmtpStartTlsRefusedMessage = "SMTP: The server refused STARTTLS.";

// Where a secure session is, as its worker goes: what a time-out names when the server stops
// answering. The worker writes it and the waiting side reads it when the wait ends.
enum class MailStage {
  kToken,      // the token command runs (not the server's doing)
  kConnect,    // connecting to the server
  kGreeting,   // waiting for its 220
  kHello,      // EHLO and its reply
  kStartTls,   // STARTTLS and its reply
  kHandshake,  // the TLS handshake
  kSignIn,     // AUTH and its replies
  kMessage,    // MAIL to the reply after the message's text
};
using CMailStage = std::atomic<MailStage>;

// The host's fully qualified name (its canonical name from the resolver), or nothing when it
// has none with a dot in it.
std::string FullyQualifiedName(const std::string& host_name);

struct CSecureSession {
  SmtpCapabilities offered;  // what the server offers over TLS
  std::string ehlo_name;     // the name EHLO gave for this host
};

// Connects to server ("host" or "host:port"; the port by default 587 for STARTTLS, 465 for
// TLS) and brings the session to where MAIL may follow, each step written to stage. The
// certificate must name the host and chain to the system's store or to the CA file.
CSecureSession StartSecureSession(CConnection& connection, CSmtpDialogue& smtp,
                                  const std::string& server, MailSecurity security,
                                  const std::string& ca_file, const CSignIn& sign_in,
                                  CMailStage& stage);

}  // namespace larkspire
