// Reading SMTP replies beyond their codes: what an EHLO reply offers, whether a reply is a
// temporary failure or a demand for TLS, and the reply as the one line an error message ends
// with.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

struct SmtpCapabilities {
  bool starttls = false;
  bool eight_bit_mime = false;
  bool pipelining = false;        // commands may go out together (RFC 2920)
  std::vector<std::string> auth;  // the AUTH mechanisms offered, upper case

  bool OffersAuth(std::string_view mechanism) const;
};

// The extensions of an EHLO reply: its lines after the first, keywords in any case, the
// mechanisms from "AUTH ..." lines and from the older "AUTH=..." form.
SmtpCapabilities ParseEhloReply(std::string_view reply);

// 4yz: the server asks to try again later (greylisting, a full mailbox, a busy server).
bool IsTemporaryReply(std::string_view reply);

// 530 or 538 naming TLS or encryption: the server takes the command only over TLS.
bool DemandsTls(std::string_view reply);

// The reply as one printable line: a multi-line reply's lines joined by blanks (each after the
// first without its code), control characters as blanks, at most kMaxReplyLineBytes long.
inline constexpr std::size_t kMaxReplyLineBytes = 500;
std::string ReplyLine(std::string_view reply);

}  // namespace larkspire
