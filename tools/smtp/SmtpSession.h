// The SMTP dialogue of one benchmark sink session, without the socket: the connection hands it
// each line (its CR LF taken off) and sends the replies it collects. It speaks what a mail
// client needs (HELO, EHLO, MAIL, RCPT, DATA with the dots undone, RSET, NOOP, QUIT, and
// STARTTLS when the sink has a certificate), refuses commands out of order as a real server
// refuses them, and stores each message before its 250 is known.
#pragma once

#include <string>
#include <string_view>

namespace larkspire::bench_sink {

class CMailStore;

inline constexpr std::string_view kGreeting = "220 127.0.0.1 ESMTP bench sink\r\n";

// What the connection does after a line.
enum class ENext {
  kGoOn,
  kStartTls,  // the 220 for STARTTLS is among the replies: send them, then the handshake
  kEnd,       // the 221 for QUIT is among the replies: send them, then close
};

class CSmtpSession {
 public:
  CSmtpSession(CMailStore& store, bool can_start_tls)
      : store_(store), can_start_tls_(can_start_tls) {}

  // Appends the line's reply (if it has one) to `replies`.
  ENext TakeLine(std::string_view line, std::string& replies);
  // After the handshake the session starts afresh: the client greets again.
  void StartedTls();

 private:
  ENext TakeCommand(std::string_view line, std::string& replies);
  void TakeDataLine(std::string_view line, std::string& replies);
  void TakeMail(std::string_view argument, std::string& replies);
  void TakeRecipient(std::string_view argument, std::string& replies);
  void ResetTransaction();

  CMailStore& store_;
  const bool can_start_tls_;
  bool tls_ = false;
  bool greeted_ = false;
  bool has_sender_ = false;
  bool reading_data_ = false;
  std::string sender_;
  std::string recipients_;  // comma-separated as stored; empty until a RCPT is taken
  std::string data_;        // the message so far, its dots undone
};

}  // namespace larkspire::bench_sink
