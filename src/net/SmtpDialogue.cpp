#include "net/SmtpDialogue.h"

#include "net/Connection.h"
#include "net/ReplyReader.h"
#include "net/SmtpReply.h"

namespace larkspire {

std::string SmtpFailureText(const std::string& error, std::string_view reply,
                            MailSecurity security) {
  const bool needs_tls = security == MailSecurity::kNone && DemandsTls(reply);
  if (security == MailSecurity::kNone && !needs_tls) return error;
  const std::string line = ReplyLine(reply);
  const std::string text = needs_tls                 ? kSmtpNeedsTlsMessage
                           : IsTemporaryReply(reply) ? kSmtpTemporaryMessage
                                                     : error;
  return text + " The server answered: " + (line.empty() ? "(an empty line)" : line);
}

void CSmtpDialogue::Expect(int code, const char* error) {
  if (!Read(code)) Fail(error);
}

void CSmtpDialogue::Command(std::string_view text, int code, const char* error,
                            const char* log_text) {
  if (!Ask(text, code, log_text)) Fail(error);
}

bool CSmtpDialogue::Ask(std::string_view text, int code, const char* log_text) {
  replies_owed_ = 1;
  connection_.Send(text, log_text);
  return Read(code);
}

void CSmtpDialogue::SendTogether(std::string_view commands, int replies) {
  connection_.KeepRepliesApart();
  replies_owed_ = replies;
  connection_.Send(commands);
}

bool CSmtpDialogue::Read(int code) {
  // A reply read without a command before it (the greeting) is owed as well while it is read.
  if (replies_owed_ == 0) replies_owed_ = 1;
  const bool expected = connection_.Expect(code);
  --replies_owed_;
  ++replies_read_;
  return expected;
}

const std::string& CSmtpDialogue::Reply() const { return connection_.LastReply(); }

bool CSmtpDialogue::AwaitsCommand() const {
  return replies_read_ > 0 && replies_owed_ == 0 && ReplyCode(Reply()) / 100 != 3;
}

void CSmtpDialogue::Fail(const std::string& error) {
  connection_.Raise(SmtpFailureText(error, Reply(), security_));
}

}  // namespace larkspire
