// The digest in the queue. Where an address receives the digest (MailMode "digest", or its
// NotifyChoice), each status change, new entry and failed entry of a run is written as a digest
// item (DigestItem.h) and committed to the pending list exactly where its own mail would be:
// before the data file is saved. Items are never sent by themselves. When the queue is next
// sent (at the end of any run, attended or not, or Send Pending E-Mail), the items it lists are
// composed into the digest's messages, which are written and flushed; then the pending list is
// rewritten in one atomic step that adds the digest's messages and drops the items they hold;
// then the items' files are removed and the digest is sent as any message is. A kill before
// that rewrite leaves the items, which the next send composes; after it, the digest, which is
// sent once. A failed send keeps the digest queued like any other message.
#pragma once

#include <string>

#include "net/MailChoice.h"
#include "notify/DigestItem.h"

namespace larkspire {

class CRun;
class CEntry;

// The notification addresses, their choices and the office's MailMode.
CMailChoices MailChoicesOf(CRun& app);
// Whether a run writes digest items; whether it writes status-change and new-entry mails (an
// address takes all changes, or those that open or close a deadline).
bool DigestWanted(CRun& app);
bool SingleMailsWanted(CRun& app);

// Queues a digest item of the entry: a change (its fields against the run's previous-entry
// slot), a new entry or a failure with its reason. Committed at once or with its batch. Returns
// the error text, "" when queued.
std::string PostDigestItem(CRun& app, const CEntry& entry, DigestItemKind kind,
                           const std::string& error = "");
// The same for a failed entry, when the digest is wanted; a run's cancellation is no failure.
void PostDigestFailure(CRun& app, const CEntry& entry, const std::string& error);

// Composes the items the pending list holds into the digest's messages and puts them in the
// list in their place. Nothing happens when the list holds no items.
void ComposeQueuedDigest(CRun& app);

}  // namespace larkspire
