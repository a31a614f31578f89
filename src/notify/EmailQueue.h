// The pending e-mail queue: notifications are written into message files in the logging
// directory and listed in Larkspire_pending.tmp, then sent (or deleted) in one batch.
#pragma once

#include <string>

#include "net/SendMail.h"

namespace larkspire {

class AppCore;
class CEntry;

inline constexpr const char* kPendingListName = "Larkspire_pending.tmp";

// Queues one notification expanded from a template for the entry (the previous-entry slot is
// whatever the caller set). Returns the error text, shown under "E-Mail Creation Failed".
std::string PostEmail(AppCore& app, const CEntry& entry, int template_number,
                      const std::string& kind);
// Sends (or, with delete_mode, deletes) the queue; returns whether the caller may go on closing.
bool SendPendingEmail(AppCore& app, bool exiting, bool delete_mode);
// Expands a template into a work file and sends it at once to the recipients of mode.
std::string SendTemplateNow(AppCore& app, int template_number, int mode, bool show_result);
// The publisher's mailboxes from the rules in use, or the built-in ones.
CPublisherMailboxes PublisherMailboxes(AppCore& app);
// Whether a queue exists (the logging directory is set and the pending list can be read).
bool EmailPending(const AppCore& app);

}  // namespace larkspire
