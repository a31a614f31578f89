// The pending e-mail queue: notifications are written into message files in the logging
// directory and listed in Larkspire_pending.tmp, then sent (or deleted) in one batch.
#pragma once

#include <string>
#include <vector>

#include "net/SendMail.h"

namespace larkspire {

class CRun;
class CEntry;

inline constexpr const char* kPendingListName = "Larkspire_pending.tmp";

// Queues one notification expanded from a template for the entry (the previous-entry slot is
// whatever the caller set). Returns the error text, shown under "E-Mail Creation Failed".
std::string PostEmail(CRun& app, const CEntry& entry, int template_number, const std::string& kind);
// Sends (or, with delete_mode, deletes) the queue; returns whether the caller may go on closing.
bool SendPendingEmail(CRun& app, bool exiting, bool delete_mode);
// Expands a template into a work file and sends it at once to the recipient.
std::string SendTemplateNow(CRun& app, int template_number, MailRecipient recipient,
                            bool show_result);
// The configured server and the addresses of every recipient kind: the settings, and the
// publisher's mailboxes from the rules in use (or the built-in ones).
CMailServer MailServerOf(CRun& app);
CMailAddresses MailAddressesOf(CRun& app);
// Sends one message file with the configured server and counts the batch as succeeded or
// failed; the window's time-out choice does not move the wait's time-out meanwhile.
std::string SendEmailFile(CRun& app, const std::string& path, const std::string& description,
                          MailRecipient recipient);
// Whether a queue exists (the logging directory is set and the pending list can be read).
bool EmailPending(const CRun& app);
// The pending list's names in order, from the file's bytes; a last line without a line end
// counts, empty lines do not.
std::vector<std::string> ReadPendingNames(const std::string& bytes);

}  // namespace larkspire
