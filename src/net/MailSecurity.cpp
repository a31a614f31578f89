#include "net/MailSecurity.h"

#include <arpa/inet.h>
#include <strings.h>

namespace larkspire {
namespace {

bool SameText(std::string_view text, const char* word) {
  return text.size() == std::char_traits<char>::length(word) &&
         strncasecmp(text.data(), word, text.size()) == 0;
}

}  // namespace

MailSecurity ParseMailSecurity(std::string_view text) {
  if (text.empty() || SameText(text, kSecurityNoneText)) return MailSecurity::kNone;
  if (SameText(text, kSecurityTlsText)) return MailSecurity::kTls;
  return MailSecurity::kStartTls;
}

MailAuth ParseMailAuth(std::string_view text) {
  return SameText(text, kAuthTokenText) ? MailAuth::kToken : MailAuth::kPassword;
}

const char* MailSecurityText(MailSecurity security) {
  switch (security) {
    case MailSecurity::kNone:
      return kSecurityNoneText;
    case MailSecurity::kStartTls:
      return kSecurityStartTlsText;
    case MailSecurity::kTls:
      return kSecurityTlsText;
  }
  return kSecurityStartTlsText;
}

const char* MailAuthText(MailAuth auth) {
  return auth == MailAuth::kToken ? kAuthTokenText : kAuthPasswordText;
}

int DefaultMailPort(MailSecurity security) {
  switch (security) {
    case MailSecurity::kNone:
      return 25;
    case MailSecurity::kStartTls:
      return 587;
    case MailSecurity::kTls:
      return 465;
  }
  return 25;
}

std::string MailHostOf(const std::string& server) { return server.substr(0, server.find(':')); }

bool IsLoopbackHost(const std::string& host) {
  if (SameText(host, "localhost")) return true;
  in_addr address{};
  return ::inet_pton(AF_INET, host.c_str(), &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

std::string UnencryptedPasswordWarning(MailSecurity security, const std::string& user_name,
                                       const std::string& server) {
  const std::string host = MailHostOf(server);
  if (security != MailSecurity::kNone || user_name.empty() || host.empty() ||
      IsLoopbackHost(host)) {
    return std::string();
  }
  return "The password for the mail server " + host +
         " crosses the network unencrypted, because the mail security is None. Choose STARTTLS "
         "or TLS unless the server is a relay on a network you trust.";
}

}  // namespace larkspire
