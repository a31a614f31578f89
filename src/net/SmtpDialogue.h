// The commands and replies of one SMTP session, and what a refused step tells the user. With
// security None the errors are the plain dialogue's fixed texts (only a server that demands TLS
// gets a text that says what to change); with STARTTLS or TLS every error ends with the
// server's reply, and a 4yz reply reads as the temporary failure it is.
#pragma once

#include <string>
#include <string_view>

#include "net/MailSecurity.h"

namespace larkspire {

class CConnection;

inline constexpr const char* kSmtpTemporaryMessage =
    "SMTP: Temporary failure; the message stays queued and is sent again on the next run.";
inline constexpr const char* kSmtpNeedsTlsMessage =
    "SMTP: The server accepts mail only over an encrypted connection. Choose STARTTLS as the SMTP "
    "security in the advanced settings (STARTTLS uses port 587 unless the SMTP server names "
    "one, as in mail.example.com:25).";

// What the user sees for a refused step: the step's error (or the temporary-failure or
// TLS-demanded text the reply calls for) and, except for the plain dialogue's fixed texts,
// " The server answered: " and the reply line.
std::string SmtpFailureText(const std::string& error, std::string_view reply,
                            MailSecurity security);

class CSmtpDialogue {
 public:
  CSmtpDialogue(CConnection& connection, MailSecurity security)
      : connection_(connection), security_(security) {}

  // Reads a reply; one with another code fails the session with error.
  void Expect(int code, const char* error);
  // Sends text (shown in the flow log as log_text when given) and expects the reply.
  void Command(std::string_view text, int code, const char* error, const char* log_text = nullptr);
  // Sends text and reads the reply whatever its code; the code tells whether it was code.
  bool Ask(std::string_view text, int code, const char* log_text = nullptr);
  // Sends several commands in one piece, for a server that offers PIPELINING; their replies
  // (as many as replies) are then read one by one with Expect, in the order the commands went.
  void SendTogether(std::string_view commands, int replies);
  // The last reply read, whole.
  const std::string& Reply() const;
  // Replies read whole so far.
  long RepliesRead() const { return replies_read_; }
  // A command went out and its reply has not been read whole: whatever the server did with
  // it is unknown.
  bool AwaitsReply() const { return replies_owed_ > 0; }
  // The server waits for the next command: its last reply was read whole and asks for no more
  // of the current one (3yz, such as 354 before the message).
  bool AwaitsCommand() const;

  // Ends the session with the error for the last reply.
  [[noreturn]] void Fail(const std::string& error);

 private:
  bool Read(int code);

  CConnection& connection_;
  MailSecurity security_;
  long replies_read_ = 0;
  int replies_owed_ = 0;  // to commands sent and not yet read
};

}  // namespace larkspire
