// Sending one prepared e-mail file by SMTP, with AUTH LOGIN when a user name is configured.
// SendEmail runs on the user-interface thread and returns an error text (empty on success,
// and also when there was nothing to send); the dialogue itself, SendMail, runs on a worker.
#pragma once

#include <memory>
#include <string>

#include "net/CancelFlag.h"
#include "net/FlowLog.h"
#include "net/LiveConnection.h"

namespace larkspire {

class AppCore;

inline constexpr const char* kSmtpProtocolMessage = "SMTP: Protocol error.";
inline constexpr const char* kSmtpSenderMessage = "SMTP: Error in sender's e-mail address.";
inline constexpr const char* kSmtpRecipientMessage = "SMTP: Error in recipient's e-mail address.";

// The group time-out of one SendEmail call.
inline constexpr unsigned kSendEmailTimeoutMs = 30000;

// Whom SendEmail sends to.
enum MailRecipientKind : int {
  kMailToReturnAddress = 0,    // the ReturnAddress setting
  kMailToNotifyAddresses = 1,  // the notification addresses joined with ", "
  kMailToActivity = 2,         // the publisher's activity mailbox
  kMailToSupport = 3,          // the publisher's support mailbox
  kMailToFileLine = 4,         // the file's own "To: " line
};

// The publisher's mailboxes for kinds 2 and 3: the rules file's location values "activity"
// and "support", or the built-in defaults when those are missing or empty. The caller (the
// notification layer, which reads the rules) supplies them, so this layer stays independent
// of the rules code.
struct CPublisherMailboxes {
  std::string activity;
  std::string support;
};

// One message, copied into its worker.
struct CSendMailTask {
  CCancelFlag cancel;
  std::string server;     // SmtpServer, optionally "host:port"
  std::string user_name;  // empty: HELO without authentication
  std::string password;   // plain text
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
};

// The SMTP dialogue on the worker thread; throws CAppError. The result byte means nothing.
char SendMail(CSendMailTask& task);
inline char RunTask(CSendMailTask& task) { return SendMail(task); }

// Sends the message file at path. The file may start with a "To: " line (which selects kind
// 4) and then a "Cc: " line, each ended by CR LF; the rest, from its "Subject:" line on, is
// the message. Logs "Send E-Mail '<description>'", counts the batch as succeeded or failed,
// and returns the error text.
std::string SendEmail(AppCore& app, const std::string& path, const std::string& description,
                      int recipient_kind, const CPublisherMailboxes& publisher);

}  // namespace larkspire
