// Sending one prepared e-mail file by SMTP. With security None: the plain dialogue, HELO, or EHLO
// with AUTH LOGIN when a user name is configured. With STARTTLS or TLS: TLS first, then the
// sign-in the server offers, and messages with MIME headers. SendEmail runs on the
// user-interface thread and returns an error text (empty on success, and also when there was
// nothing to send); the dialogue itself, SendMail, runs on a worker.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "net/CancelFlag.h"
#include "net/FlowLog.h"
#include "net/LiveConnection.h"
#include "net/MailSecurity.h"
#include "net/SmtpSecureStart.h"

namespace larkspire {

class INetWaiter;
template <typename Task, typename Result>
class CAsyncGroup;
class CMailSession;
struct CKeptMailSession;

inline constexpr const char* kSmtpProtocolMessage = "SMTP: Protocol error.";
inline constexpr const char* kSmtpSenderMessage = "SMTP: Error in sender's e-mail address.";
inline constexpr const char* kSmtpRecipientMessage = "SMTP: Error in recipient's e-mail address.";
inline constexpr const char* kSmtpTokenInClearMessage =
    "SMTP: A token is never sent unencrypted; choose STARTTLS or TLS as the SMTP security.";
inline constexpr const char* kSmtpTokenUserMessage =
    "SMTP: Sign-in with a token needs the user name (the mailbox the token is for).";

// The group time-out of one SendEmail call.
inline constexpr unsigned kSendEmailTimeoutMs = 30000;

// Whom SendEmail sends to.
enum class MailRecipient {
  kReturnAddress,    // the office's return address
  kNotifyAddresses,  // the notification addresses joined with ", "
  kActivity,         // the publisher's activity mailbox
  kSupport,          // the publisher's support mailbox
  kFileLine,         // the file's own "To: " line
};

// The mail server and the sender, as plain values: the caller reads the settings and
// unscrambles the password.
struct CMailServer {
  std::string server;     // "host" or "host:port"
  std::string user_name;  // empty: no sign-in
  std::string password;   // plain text
  std::string from;       // the return address, also the Reply-To
  std::string mailer = "Larkspire";
  MailSecurity security = MailSecurity::kNone;
  MailAuth auth = MailAuth::kPassword;
  std::string token_command;
  std::string ca_file;  // empty: the system's trust store alone
};

// The addresses each recipient kind stands for.
struct CMailAddresses {
  std::string return_address;
  std::string notify;
  // The publisher's mailboxes: the rules file's location values "activity" and "support",
  // or the built-in defaults when those are missing or empty.
  std::string activity;
  std::string support;
};

// One message, copied into its worker.
struct CSendMailTask {
  CCancelFlag cancel;
  std::string server;     // SmtpServer, optionally "host:port"
  std::string user_name;  // empty: no sign-in
  std::string password;   // plain text
  MailSecurity security = MailSecurity::kNone;
  MailAuth auth = MailAuth::kPassword;
  std::string token_command;
  std::string ca_file;
  std::string from;
  std::string reply_to;
  std::string to;
  std::string cc;
  std::string cc2;
  std::string mailer = "Larkspire";
  std::string body;  // begins with the "Subject:" line
  bool html = false;
  std::string attachments;
  // Shared, so the sink outlives a worker that is abandoned after a time-out.
  std::shared_ptr<CFlowLog> flow_log;
  std::string label = "SendMail: ";
  CLiveConnection live;
  // A session kept open over a batch: used when it is open, opened and left open when it is
  // not. Null for a session of this message's own, ended by QUIT.
  std::shared_ptr<CKeptMailSession> session;
  // Where a secure session is; shared with the side that waits for the worker.
  std::shared_ptr<CMailStage> stage = std::make_shared<CMailStage>(MailStage::kConnect);
};

// The SMTP dialogue on the worker thread; throws CAppError. The result byte means nothing.
char SendMail(CSendMailTask& task);
inline char RunTask(CSendMailTask& task) { return SendMail(task); }

// Sends the message file at path. The file may start with a "To: " line (which selects
// kFileLine) and then a "Cc: " line, each ended by CR LF or a lone LF; the rest, from its
// "Subject:" line on, is the message, sent with CR LF line ends. Logs "Send E-Mail
// '<description>'" and returns the error text, or nothing when the file holds nothing to send
// (missing, unreadable, empty, or a header line unfinished). A password about to cross the
// network in clear text is warned about in the log. With a batch's session the message goes
// over the session kept open by the messages before it; a failure ends that session, so the
// next message opens a new one.
std::optional<std::string> SendEmail(INetWaiter& waiter, const CMailServer& server,
                                     const CMailAddresses& addresses, const std::string& path,
                                     const std::string& description, MailRecipient recipient,
                                     CMailSession* session = nullptr);

// SendEmail in two halves, so that the caller may go on with other work while the message is
// on its way: the constructor does everything up to the worker's start (the log line included),
// and Finish waits for the worker and returns what SendEmail returns.
class CStartedSendEmail {
 public:
  CStartedSendEmail(INetWaiter& waiter, const CMailServer& server, const CMailAddresses& addresses,
                    const std::string& path, const std::string& description,
                    MailRecipient recipient, CMailSession* session = nullptr);
  // A message let go of unfinished has its worker cancelled.
  ~CStartedSendEmail();
  CStartedSendEmail(const CStartedSendEmail&) = delete;
  CStartedSendEmail& operator=(const CStartedSendEmail&) = delete;

  // Whether Finish would return without waiting. Never waits.
  bool Ended();
  // The group's time-out counts from here. Once only. Over STARTTLS or TLS, a server that did
  // not answer in time or could not be reached is named with what it did not do ("SMTP: The
  // server smtp.example:587 did not finish the TLS handshake within 30 s.").
  std::optional<std::string> Finish();
  // After Finish: the secure mail's server timed out or could not be reached, so any other
  // message of the run would wait for it the same way. Never for the plain dialogue.
  bool ServerUnreachable() const { return unreachable_; }

 private:
  std::string NameUnreachableServer(const std::string& error);

  INetWaiter& waiter_;
  CMailSession* session_;
  std::string server_;
  MailSecurity security_ = MailSecurity::kNone;
  std::shared_ptr<CMailStage> stage_;
  bool unreachable_ = false;
  std::string start_error_;
  // Null when there was nothing to send or the worker could not be started.
  std::unique_ptr<CAsyncGroup<CSendMailTask, char>> group_;
};

}  // namespace larkspire
