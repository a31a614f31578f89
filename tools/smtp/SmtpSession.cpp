#include "SmtpSession.h"

#include <optional>

#include "MailStore.h"

namespace larkspire::bench_sink {
namespace {

constexpr std::string_view kOk = "250 OK\r\n";
constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Uppercased(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = Upper(c);
  return upper;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view upper_prefix) {
  if (text.size() < upper_prefix.size()) return false;
  for (size_t i = 0; i < upper_prefix.size(); ++i) {
    if (Upper(text[i]) != upper_prefix[i]) return false;
  }
  return true;
}

// The address of "FROM:<a>" or "TO: <a>" (any case; parameters after it are ignored); none
// when the keyword is missing or the brackets are not closed. "<>" gives an empty address.
std::optional<std::string_view> AddressAfter(std::string_view argument, std::string_view keyword) {
  if (!StartsWithIgnoringCase(argument, keyword)) return std::nullopt;
  const std::string_view text = Trimmed(argument.substr(keyword.size()));
  if (text.empty()) return std::nullopt;
  if (text.front() == '<') {
    const size_t close = text.find('>');
    if (close == std::string_view::npos) return std::nullopt;
    return text.substr(1, close - 1);
  }
  return text.substr(0, text.find(' '));
}

}  // namespace

ENext CSmtpSession::TakeLine(std::string_view line, std::string& replies) {
  if (reading_data_) {
    TakeDataLine(line, replies);
    return ENext::kGoOn;
  }
  return TakeCommand(line, replies);
}

void CSmtpSession::TakeDataLine(std::string_view line, std::string& replies) {
  if (line == ".") {
    reading_data_ = false;
    // The 250 goes out after the file is closed, so a client that has it finds the file whole.
    replies += store_.Store(sender_, recipients_, data_)
                   ? "250 Message accepted\r\n"
                   : "451 Error: the message could not be stored\r\n";
    ResetTransaction();
    return;
  }
  if (line.starts_with('.')) line.remove_prefix(1);
  data_ += line;
  data_ += "\r\n";
}

ENext CSmtpSession::TakeCommand(std::string_view line, std::string& replies) {
  const size_t blank = line.find(' ');
  const std::string verb = Uppercased(line.substr(0, blank));
  const std::string_view argument =
      blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
  if (verb == "HELO" || verb == "EHLO") {
    if (Trimmed(argument).empty()) {
      replies += "501 Syntax: " + verb + " hostname\r\n";
      return ENext::kGoOn;
    }
    greeted_ = true;
    ResetTransaction();
    if (verb == "HELO") {
      replies += "250 127.0.0.1\r\n";
    } else if (can_start_tls_ && !tls_) {
      replies += "250-127.0.0.1\r\n250-8BITMIME\r\n250-PIPELINING\r\n250 STARTTLS\r\n";
    } else {
      replies += "250-127.0.0.1\r\n250-8BITMIME\r\n250 PIPELINING\r\n";
    }
  } else if (verb == "STARTTLS" && can_start_tls_) {
    if (!argument.empty()) {
      replies += "501 Syntax: STARTTLS\r\n";
    } else if (tls_) {
      replies += "503 Error: TLS already active\r\n";
    } else {
      replies += "220 Ready to start TLS\r\n";
      return ENext::kStartTls;
    }
  } else if (verb == "NOOP") {
    replies += kOk;
  } else if (verb == "RSET") {
    ResetTransaction();
    replies += kOk;
  } else if (verb == "QUIT") {
    replies += "221 Bye\r\n";
    return ENext::kEnd;
  } else if (verb == "MAIL") {
    TakeMail(argument, replies);
  } else if (verb == "RCPT") {
    TakeRecipient(argument, replies);
  } else if (verb == "DATA") {
    if (recipients_.empty()) {
      replies += "503 Error: need RCPT command\r\n";
    } else {
      reading_data_ = true;
      replies += "354 End data with <CR><LF>.<CR><LF>\r\n";
    }
  } else {
    replies += "500 Error: command \"" + verb + "\" not recognized\r\n";
  }
  return ENext::kGoOn;
}

void CSmtpSession::TakeMail(std::string_view argument, std::string& replies) {
  if (!greeted_) {
    replies += "503 Error: send HELO first\r\n";
    return;
  }
  if (has_sender_) {
    replies += "503 Error: nested MAIL command\r\n";
    return;
  }
  const auto address = AddressAfter(argument, "FROM:");
  if (!address) {
    replies += "501 Syntax: MAIL FROM: <address>\r\n";
    return;
  }
  has_sender_ = true;
  sender_ = *address;
  replies += kOk;
}

void CSmtpSession::TakeRecipient(std::string_view argument, std::string& replies) {
  if (!has_sender_) {
    replies += "503 Error: need MAIL command\r\n";
    return;
  }
  const auto address = AddressAfter(argument, "TO:");
  if (!address || address->empty()) {
    replies += "501 Syntax: RCPT TO: <address>\r\n";
    return;
  }
  if (!recipients_.empty()) recipients_ += ',';
  recipients_ += *address;
  replies += kOk;
}

void CSmtpSession::StartedTls() {
  tls_ = true;
  greeted_ = false;
  ResetTransaction();
}

void CSmtpSession::ResetTransaction() {
  has_sender_ = false;
  sender_.clear();
  recipients_.clear();
  data_.clear();
}

}  // namespace larkspire::bench_sink
