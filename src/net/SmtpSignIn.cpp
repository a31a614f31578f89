#include "net/SmtpSignIn.h"

#include "net/Base64.h"
#include "net/Connection.h"
#include "net/ReplyReader.h"
#include "net/SmtpDialogue.h"
#include "net/SmtpReply.h"

namespace larkspire {

std::string PlainCredentials(const std::string& user, const std::string& password) {
  return Base64Encode(std::string(1, '\0') + user + '\0' + password);
}

std::string XOAuth2Credentials(const std::string& user, const std::string& token) {
  return Base64Encode("user=" + user + "\x01" + "auth=Bearer " + token + "\x01\x01");
}

void SignIn(CSmtpDialogue& smtp, const SmtpCapabilities& offered, const CSignIn& sign_in) {
  if (sign_in.user.empty()) return;
  if (sign_in.auth == MailAuth::kToken) {
    if (!offered.OffersAuth("XOAUTH2")) smtp.Fail(kSmtpNoTokenSignInMessage);
    if (smtp.Ask("AUTH XOAUTH2 " + XOAuth2Credentials(sign_in.user, sign_in.token) + "\r\n", 235,
                 "AUTH XOAUTH2 ***token***")) {
      return;
    }
    // A refused token is explained in a 334 challenge; the final reply follows the client's
    // empty answer to it.
    if (ReplyCode(smtp.Reply()) == 334) smtp.Ask("\r\n", 235);
    smtp.Fail(kSmtpSignInRefusedMessage);
  }
  if (offered.OffersAuth("PLAIN")) {
    smtp.Command("AUTH PLAIN " + PlainCredentials(sign_in.user, sign_in.password) + "\r\n", 235,
                 kSmtpSignInRefusedMessage, "AUTH PLAIN ***password***");
  } else if (offered.OffersAuth("LOGIN")) {
    smtp.Command("AUTH LOGIN\r\n", 334, kSmtpSignInRefusedMessage);
    smtp.Command(Base64Encode(sign_in.user) + "\r\n", 334, kSmtpSignInRefusedMessage);
    smtp.Command(Base64Encode(sign_in.password) + "\r\n", 235, kSmtpSignInRefusedMessage,
                 "***password***");
  } else {
    smtp.Fail(kSmtpNoPasswordSignInMessage);
  }
}

}  // namespace larkspire
