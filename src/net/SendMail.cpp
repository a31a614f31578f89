#include "net/SendMail.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <vector>

#include "net/AsyncGroup.h"
#include "net/Base64.h"
#include "net/Connection.h"
#include "net/MailFormat.h"
#include "net/MailSession.h"
#include "net/MimeHeaders.h"
#include "net/NetworkWait.h"
#include "net/SmtpDialogue.h"
#include "net/SmtpSecureStart.h"
#include "net/TextChecks.h"
#include "net/TokenCommand.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr std::size_t kReadPieceBytes = 4096;
constexpr const char* kSendEmailTimedOutMessage = "SendEmail: Operation timed out.";

// What the server did not do at the stage within the time; "" for a stage that is not the
// server's (the token command).
std::string MailStageTimeOut(MailStage stage, int seconds) {
  const char* what = "";
  switch (stage) {
    case MailStage::kToken:
      return "";
    case MailStage::kConnect:
      what = "did not accept the connection";
      break;
    case MailStage::kGreeting:
      what = "did not answer the greeting";
      break;
    case MailStage::kHello:
      what = "did not answer EHLO";
      break;
    case MailStage::kStartTls:
      what = "did not answer STARTTLS";
      break;
    case MailStage::kHandshake:
      what = "did not finish the TLS handshake";
      break;
    case MailStage::kSignIn:
      what = "did not answer the sign-in";
      break;
    case MailStage::kMessage:
      what = "did not take the message";
      break;
  }
  return std::string(what) + " within " + std::to_string(seconds) + " s";
}

// The file in pieces of 4096 bytes, each piece taken up to its first zero byte, with every line
// end made CR LF (a reader accepts a lone LF; the wire takes CR LF only). A file that cannot be
// opened, or that is a link or no regular file, reads as empty.
std::string ReadMessageFile(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return std::string();
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += kReadPieceBytes) {
    const std::string_view piece = std::string_view(bytes).substr(at, kReadPieceBytes);
    text.append(piece.substr(0, piece.find('\0')));
  }
  return ToTextMode(FromTextMode(text));
}

// Takes a leading "To: " or "Cc: " line (any case) off the text into value. False when the
// line has no CR LF, which means the file is not sent.
bool TakeHeaderLine(std::string& text, std::string_view prefix, std::string& value, bool& found) {
  found = false;
  if (!StartsWithIgnoringCase(text, prefix)) return true;
  const std::size_t end = text.find("\r\n");
  if (end == std::string::npos) return false;
  value = text.substr(prefix.size(), end - prefix.size());
  text.erase(0, end + 2);
  found = true;
  return true;
}

// The domain of "<user@domain>", for the Message-ID; nothing when there is no "@" or the
// domain holds more than letters, digits, dots and hyphens.
std::string DomainOf(const std::string& bracketed) {
  const std::size_t at = bracketed.rfind('@');
  if (at == std::string::npos) return std::string();
  const std::size_t close = bracketed.find('>', at);
  std::string domain =
      bracketed.substr(at + 1, close == std::string::npos ? close : close - at - 1);
  for (char c : domain) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') return std::string();
  }
  return domain;
}

// The session up to where MAIL may follow. The token is had before the server is reached: a
// failing helper costs no connection.
CSecureSession OpenSession(CConnection& connection, CSmtpDialogue& smtp, CSendMailTask& task) {
  CFlowLog* flow_log = task.flow_log.get();
  auto fail = [&](const char* message) { RaiseLogged(flow_log, task.label, message); };
  const bool secure = task.security != MailSecurity::kNone;
  const bool token_sign_in = task.auth == MailAuth::kToken;
  if (token_sign_in && !secure) fail(kSmtpTokenInClearMessage);
  if (token_sign_in && task.user_name.empty()) fail(kSmtpTokenUserMessage);
  if (token_sign_in) *task.stage = MailStage::kToken;
  const std::string token =
      token_sign_in ? RunTokenCommand(task.token_command, &task.cancel, flow_log, task.label)
                    : std::string();

  if (secure) {
    return StartSecureSession(connection, smtp, task.server, task.security, task.ca_file,
                              {task.user_name, task.password, task.auth, token}, *task.stage);
  }
  connection.Connect(task.server, DefaultMailPort(MailSecurity::kNone));
  const std::string host = connection.LocalHostName();
  smtp.Expect(220, kSmtpProtocolMessage);
  if (!task.user_name.empty()) {
    smtp.Command("EHLO " + host + "\r\n", 250, kSmtpProtocolMessage);
    smtp.Command("AUTH LOGIN\r\n", 334, kSmtpProtocolMessage);
    smtp.Command(Base64Encode(task.user_name) + "\r\n", 334, kSmtpProtocolMessage);
    smtp.Command(Base64Encode(task.password) + "\r\n", 235, kSmtpProtocolMessage, "***password***");
  } else {
    smtp.Command("HELO " + host + "\r\n", 250, kSmtpProtocolMessage);
  }
  return CSecureSession();
}

// "RCPT To: <address>" CR LF for each address of To, Cc and the second Cc, in that order.
std::vector<std::string> RecipientCommands(const CSendMailTask& task) {
  std::vector<std::string> commands;
  for (const std::string* list : {&task.to, &task.cc, &task.cc2}) {
    for (const std::string& address : SplitAddressList(*list)) {
      commands.push_back("RCPT To: " + BracketAddress(address) + "\r\n");
    }
  }
  return commands;
}

// One message, from MAIL to the 250 after its text.
void SendMessage(CSmtpDialogue& smtp, const CSendMailTask& task, const CSecureSession& session,
                 const std::string& date_line) {
  auto fail = [&](const char* message) { RaiseLogged(task.flow_log.get(), task.label, message); };
  const bool secure = task.security != MailSecurity::kNone;
  *task.stage = MailStage::kMessage;
  // The addresses also go into header lines, so a line break anywhere in them is refused
  // before anything of them is sent.
  if (HasLineBreakOrNul(task.from) || HasLineBreakOrNul(task.reply_to)) fail(kSmtpSenderMessage);
  const std::vector<std::string> sender = SplitAddressList(task.from);
  const std::string sender_address = BracketAddress(sender.empty() ? std::string() : sender[0]);
  // Declared only where the server takes 8-bit text as such; elsewhere it goes as it always did.
  const bool eight_bit = session.offered.eight_bit_mime && HasEightBitBytes(task.body);
  const std::string mail =
      "MAIL From: " + sender_address + (eight_bit ? " BODY=8BITMIME" : "") + "\r\n";
  const auto check_recipients = [&] {
    for (const std::string* list : {&task.to, &task.cc, &task.cc2}) {
      if (HasLineBreakOrNul(*list)) fail(kSmtpRecipientMessage);
    }
  };
  if (session.offered.pipelining) {
    // MAIL, every RCPT and DATA go out in one piece and their replies are checked in order:
    // two round trips a message instead of four or more.
    check_recipients();
    const std::vector<std::string> recipients = RecipientCommands(task);
    std::string commands = mail;
    for (const std::string& command : recipients) commands += command;
    smtp.SendTogether(commands + "DATA\r\n", static_cast<int>(recipients.size()) + 2);
    smtp.Expect(250, kSmtpSenderMessage);
    for (std::size_t i = 0; i < recipients.size(); ++i) smtp.Expect(250, kSmtpRecipientMessage);
    smtp.Expect(354, kSmtpProtocolMessage);
  } else {
    smtp.Command(mail, 250, kSmtpSenderMessage);
    check_recipients();
    for (const std::string& command : RecipientCommands(task)) {
      smtp.Command(command, 250, kSmtpRecipientMessage);
    }
    smtp.Command("DATA\r\n", 354, kSmtpProtocolMessage);
  }
  if (task.html) fail("SendMail: HTML format not supported at this time.");
  if (!task.attachments.empty()) fail("SendMail: Attached files not supported at this time.");

  std::string message = date_line;
  message += "From: " + task.from + "\r\n";
  if (!task.reply_to.empty()) message += "Reply-to: " + task.reply_to + "\r\n";
  message += "To: " + task.to + "\r\n";
  if (!task.cc.empty()) message += "Cc: " + task.cc + "\r\n";
  if (!task.cc2.empty()) message += "Cc: " + task.cc2 + "\r\n";
  message += "X-Mailer: " + task.mailer + "\r\n";
  if (secure) {
    const std::string domain = DomainOf(sender_address);
    message += MessageIdLine(domain.empty() ? session.ehlo_name : domain);
    message += MimeHeaderLines(task.body);
    message += EncodeSubjectLine(task.body);
  } else {
    message += task.body;
  }
  smtp.Command(DotStuff(message) + "\r\n.\r\n", 250, kSmtpProtocolMessage);
}

// Claims the kept session for one task, whose cancel flag its connection looks at until the
// task is done with it.
class CKeptSessionUse {
 public:
  explicit CKeptSessionUse(CSendMailTask& task) : kept_(*task.session) {
    if (!kept_.Claim()) RaiseLogged(task.flow_log.get(), task.label, kCanceledMessage);
  }
  ~CKeptSessionUse() {
    if (kept_.connection != nullptr) kept_.connection->UseCancelFlag(&kept_.idle_cancel);
    kept_.Release();
  }
  CKeptSessionUse(const CKeptSessionUse&) = delete;
  CKeptSessionUse& operator=(const CKeptSessionUse&) = delete;

 private:
  CKeptMailSession& kept_;
};

// One try at the message over the kept session, opening it first when it is not open. False
// when a session opened for an earlier message turned out to be gone before the server said
// anything to this one's MAIL: nothing of the message can have been taken, and a new session
// may carry it.
bool TryKeptSession(CSendMailTask& task, CKeptMailSession& kept, const std::string& date_line) {
  if (kept.connection == nullptr) {
    kept.connection =
        std::make_unique<CConnection>(&kept.idle_cancel, kept.flow_log.get(), task.label);
  }
  CConnection& connection = *kept.connection;
  connection.UseCancelFlag(&task.cancel);
  CLiveConnection::Registration registration(task.live, connection);
  const bool reused = kept.smtp != nullptr;
  if (!reused) {
    kept.smtp = std::make_unique<CSmtpDialogue>(connection, task.security);
    kept.secure = OpenSession(connection, *kept.smtp, task);
  }
  kept.ready = false;
  const long replies = kept.smtp->RepliesRead();
  try {
    SendMessage(*kept.smtp, task, kept.secure, date_line);
  } catch (const CAppError&) {
    const bool stopped = task.cancel.IsSet() || connection.Cancelled();
    if (!reused || stopped || !kept.smtp->AwaitsReply() || kept.smtp->RepliesRead() != replies) {
      throw;
    }
    return false;
  }
  kept.ready = true;
  return true;
}

void SendOverKeptSession(CSendMailTask& task, const std::string& date_line) {
  CKeptSessionUse use(task);
  CKeptMailSession& kept = *task.session;
  if (kept.connection != nullptr && !(kept.ready && kept.connection->StillOpen())) {
    kept.connection->WriteFlow("The kept session has ended; a new one is opened.", kFlowStatus);
    kept.Close();
  }
  if (TryKeptSession(task, kept, date_line)) return;
  kept.connection->WriteFlow(
      "The kept session ended before the server answered; the message goes over a new one.",
      kFlowStatus);
  kept.Close();
  TryKeptSession(task, kept, date_line);
}

}  // namespace

char SendMail(CSendMailTask& task) {
  const std::string date_line = FormatDateLine(NowUnixMillis() / 1000);
  if (task.session != nullptr) {
    SendOverKeptSession(task, date_line);
    return 0;
  }
  CConnection connection(&task.cancel, task.flow_log.get(), task.label);
  CLiveConnection::Registration registration(task.live, connection);
  CSmtpDialogue smtp(connection, task.security);
  const CSecureSession session = OpenSession(connection, smtp, task);
  SendMessage(smtp, task, session, date_line);
  connection.Send("QUIT\r\n");
  return 0;
}

CStartedSendEmail::CStartedSendEmail(INetWaiter& waiter, const CMailServer& server,
                                     const CMailAddresses& addresses, const std::string& path,
                                     const std::string& description, MailRecipient recipient,
                                     CMailSession* session)
    : waiter_(waiter), session_(session), server_(server.server), security_(server.security) {
  waiter.LogRecord("Send E-Mail '" + description + "'\n");
  std::string text = ReadMessageFile(path);
  if (text.empty()) return;

  std::string to;
  std::string cc;
  bool found = false;
  if (!TakeHeaderLine(text, "To: ", to, found)) return;
  if (found) recipient = MailRecipient::kFileLine;
  if (!TakeHeaderLine(text, "Cc: ", cc, found)) return;

  switch (recipient) {
    case MailRecipient::kReturnAddress:
      to = addresses.return_address;
      break;
    case MailRecipient::kNotifyAddresses:
      to = addresses.notify;
      break;
    case MailRecipient::kActivity:
      to = addresses.activity;
      break;
    case MailRecipient::kSupport:
      to = addresses.support;
      break;
    case MailRecipient::kFileLine:
      break;
  }

  const std::string warning =
      UnencryptedPasswordWarning(server.security, server.user_name, server.server);
  if (!warning.empty()) waiter.LogRecord("Send E-Mail warning '" + warning + "'\n");

  CSendMailTask task;
  task.server = server.server;
  task.user_name = server.user_name;
  task.password = server.password;
  task.security = server.security;
  task.auth = server.auth;
  task.token_command = server.token_command;
  task.ca_file = server.ca_file;
  task.from = server.from;
  task.reply_to = server.from;
  task.to = to;
  task.cc = cc;
  task.mailer = server.mailer;
  task.body = std::move(text);
  task.flow_log = waiter.SharedFlowLog();
  if (session != nullptr) task.session = session->ForMessage(task.flow_log);
  stage_ = task.stage;

  auto group = std::make_unique<CAsyncGroup<CSendMailTask, char>>(waiter);
  try {
    group->Start(std::vector<CSendMailTask>{task});
  } catch (const std::exception& failure) {
    start_error_ = ErrorText(failure);
    return;
  }
  group_ = std::move(group);
}

CStartedSendEmail::~CStartedSendEmail() = default;

bool CStartedSendEmail::Ended() { return group_ == nullptr || group_->AllEnded(); }

std::optional<std::string> CStartedSendEmail::Finish() {
  std::string error = start_error_;
  if (error.empty()) {
    if (group_ == nullptr) return std::nullopt;
    // The group's own 30 s decides, whatever the window's time-out says.
    const unsigned timeout_ms = kSendEmailTimeoutMs;
    std::vector<char> results;
    error = WaitForStartedGroup(waiter_, GroupKind::kSmtp, *group_, timeout_ms,
                                static_cast<int>(kSendEmailTimeoutMs / 1000),
                                kSendEmailTimedOutMessage, results);
    group_.reset();
  }
  if (!error.empty() && security_ != MailSecurity::kNone) error = NameUnreachableServer(error);
  if (!error.empty()) {
    waiter_.LogRecord("Send E-Mail error '" + error + "'\n");
    // Never used again after a failure, a time-out or a cancel.
    if (session_ != nullptr) session_->End();
  }
  return error;
}

std::string CStartedSendEmail::NameUnreachableServer(const std::string& error) {
  std::string what;
  if (error == kSendEmailTimedOutMessage || error == CTimedoutError().what()) {
    // The wait ends at the group's own time-out or the window's, whichever is shorter.
    const unsigned window_ms = waiter_.TimeoutMs();
    const unsigned waited_ms =
        window_ms > 0 ? std::min(window_ms, kSendEmailTimeoutMs) : kSendEmailTimeoutMs;
    if (stage_ != nullptr) {
      what = MailStageTimeOut(*stage_, static_cast<int>((waited_ms + 500) / 1000));
    }
  } else if (error == kRefusedMessage) {
    what = "refused the connection";
  } else if (error == kCantConnectMessage) {
    what = "could not be reached";
  } else if (error == kNoResolveMessage) {
    what = "could not be found (its name does not resolve)";
  }
  if (what.empty()) return error;
  unreachable_ = true;
  return "SMTP: The server " + server_ + " " + what + ".";
}

std::optional<std::string> SendEmail(INetWaiter& waiter, const CMailServer& server,
                                     const CMailAddresses& addresses, const std::string& path,
                                     const std::string& description, MailRecipient recipient,
                                     CMailSession* session) {
  return CStartedSendEmail(waiter, server, addresses, path, description, recipient, session)
      .Finish();
}

}  // namespace larkspire
