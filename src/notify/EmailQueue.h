// The pending e-mail queue: notifications are written into message files in the logging
// directory and listed in Larkspire_pending.tmp (PendingList.h), then sent (or deleted) in one
// batch.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "net/MailChoice.h"
#include "net/SendMail.h"
#include "notify/PendingList.h"

namespace larkspire {

class CRun;
class CEntry;

// Batches that may fail to send the welcome report before it is dropped.
inline constexpr int kWelcomeReportTries = 3;

// Queues one notification expanded from a template for the entry (the previous-entry slot is
// whatever the caller set), committed at once or with its batch (CEmailBatch). Returns the
// error text, shown under "E-Mail Creation Failed".
std::string PostEmail(CRun& app, const CEntry& entry, int template_number, const std::string& kind);
// Writes a new message of the kind for the entry key and queues it, committed at once or with
// its batch; returns the error text ("" when queued), which the caller shows.
std::string QueueMessage(CRun& app, const std::string& kind, const std::string& key,
                         const std::string& text);
// Marks the status change just posted for the entry, not yet committed, as one that opened or
// closed a deadline, for the addresses that receive only those. Nothing changes where no
// address has that choice.
void MarkDeadlineChange(CRun& app, const CEntry& entry);
// Sends (or, with delete_mode, deletes) the queue; returns whether the caller may go on closing.
// A message that cannot be sent (the server refused it, or its file cannot be read or holds
// nothing to send) ends the batch and stays queued with what follows it. A name whose file no
// longer exists, and a line that is not a name of the queue's own form, are logged and leave
// the list.
bool SendPendingEmail(CRun& app, bool exiting, bool delete_mode);
// Expands a template into a work file and sends it at once to the recipient.
std::string SendTemplateNow(CRun& app, int template_number, MailRecipient recipient,
                            bool show_result);
// The configured server and the addresses of every recipient kind: the settings, and the
// publisher's mailboxes from the rules in use (or the built-in ones).
// The notification addresses are those that receive the kind of message (MailChoice.h).
CMailServer MailServerOf(CRun& app);
CMailAddresses MailAddressesOf(CRun& app, MailKind kind = MailKind::kOther);
// The kind of a queued message by its name; kOther for any other name.
MailKind MailKindOf(std::string_view name);
// Whether the notification addresses are set and none of them receives the queued message.
bool NobodyReceives(CRun& app, std::string_view name);
// Sends one message file with the configured server and counts the batch as succeeded or
// failed; the window's time-out choice does not move the wait's time-out meanwhile. A file
// that cannot be read or holds nothing to send is an error, never a success. With a batch's
// session the message goes over the session the messages before it kept open.
std::string SendEmailFile(CRun& app, const std::string& path, const std::string& description,
                          MailRecipient recipient, CMailSession* session = nullptr);
// SendEmailFile in two halves: the message is on its way when Start returns, and Finish waits
// for it and counts it.
std::unique_ptr<CStartedSendEmail> StartSendingEmailFile(CRun& app, const std::string& path,
                                                         const std::string& description,
                                                         MailRecipient recipient,
                                                         CMailSession* session = nullptr);
std::string FinishSendingEmailFile(CRun& app, CStartedSendEmail& started, const std::string& path,
                                   const std::string& description);
// Whether a queue exists (the logging directory is set and the pending list can be read).
bool EmailPending(const CRun& app);

}  // namespace larkspire
