#include "net/SmtpSecureStart.h"

#include <netdb.h>

#include "net/Connection.h"
#include "net/SendMail.h"
#include "net/SmtpDialogue.h"

namespace larkspire {

std::string FullyQualifiedName(const std::string& host_name) {
  std::string name = host_name;
  addrinfo hints{};
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  if (!host_name.empty() && ::getaddrinfo(host_name.c_str(), nullptr, &hints, &found) == 0) {
    if (found != nullptr && found->ai_canonname != nullptr) name = found->ai_canonname;
    ::freeaddrinfo(found);
  }
  const std::size_t dot = name.find('.');
  return dot == std::string::npos || dot == 0 || name.back() == '.' ? std::string() : name;
}

CSecureSession StartSecureSession(CConnection& connection, CSmtpDialogue& smtp,
                                  const std::string& server, MailSecurity security,
                                  const std::string& ca_file, const CSignIn& sign_in,
                                  CMailStage& stage) {
  const std::string host = MailHostOf(server);
  stage = MailStage::kConnect;
  connection.Connect(server, DefaultMailPort(security));
  if (security == MailSecurity::kTls) {
    stage = MailStage::kHandshake;
    connection.StartTls(host, ca_file);
  }
  stage = MailStage::kGreeting;
  smtp.Expect(220, kSmtpProtocolMessage);

  CSecureSession session;
  session.ehlo_name = FullyQualifiedName(connection.LocalHostName());
  if (session.ehlo_name.empty()) session.ehlo_name = connection.LocalAddressLiteral();
  const std::string ehlo = "EHLO " + session.ehlo_name + "\r\n";
  stage = MailStage::kHello;
  smtp.Command(ehlo, 250, kSmtpProtocolMessage);
  if (security == MailSecurity::kStartTls) {
    if (!ParseEhloReply(smtp.Reply()).starttls) smtp.Fail(kSmtpNoStartTlsMessage);
    stage = MailStage::kStartTls;
    smtp.Command("STARTTLS\r\n", 220, kSmtpStartTlsRefusedMessage);
    stage = MailStage::kHandshake;
    connection.StartTls(host, ca_file);
    // What the server offered in clear text is forgotten; it says again over TLS.
    stage = MailStage::kHello;
    smtp.Command(ehlo, 250, kSmtpProtocolMessage);
  }
  session.offered = ParseEhloReply(smtp.Reply());
  stage = MailStage::kSignIn;
  SignIn(smtp, session.offered, sign_in);
  return session;
}

}  // namespace larkspire
