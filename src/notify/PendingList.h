// The pending list, Larkspire_pending.tmp: one message file name per line, in the order queued,
// in text mode. It grows by appends, each made once the messages it names are on the disk, and
// is rewritten whole only when a send leaves part of it. Posting, sending and deleting are in
// EmailQueue.h.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

class CRun;

inline constexpr const char* kPendingListName = "Larkspire_pending.tmp";

std::string PendingListPath(const CRun& app);
// The list's names in order; a last line without a line end counts, empty lines do not.
std::vector<std::string> ReadPendingNames(const std::string& bytes);
std::string FormatPendingNames(const std::vector<std::string>& names);

// Whether a queued message, or one written since the last commit, has the name. The list is
// read again only when it is not the file this run last read or wrote, so the cost does not
// grow with the queue.
bool PendingNameTaken(CRun& app, const std::string& name);
// The first by name of the waiting messages (queued, or written since the last commit) that
// match, if any.
std::optional<std::string> FirstWaitingName(CRun& app,
                                            const std::function<bool(const std::string&)>& match);
// A message file just written under the name: the name joins the list at the next commit.
void AddUncommittedMessage(CRun& app, const std::string& name);
// The messages written since the last commit, in the order written.
const std::vector<std::string>& UncommittedMessages(const CRun& app);
// Forgets a message written since the last commit that will not be queued; false when the list
// names it already (its file must stay).
bool DropUncommittedMessage(CRun& app, const std::string& name);
// Commits the messages written since the last commit: their files reach the disk first, then
// their names are appended to the list, which reaches the disk in turn. A kill or a power cut
// at any point leaves the list naming only messages that are there. False when it failed; the
// messages not listed wait for the next commit.
bool CommitPendingMessages(CRun& app);
// The same, with a failure shown under "E-Mail Creation Failed" and counted as a failure of
// the run.
bool CommitEmailQueue(CRun& app);

// Posts made while a batch is open are committed together, once for all rather than once per
// post: when the outermost batch closes, or before the data file is saved, whichever comes
// first (a change is saved only once its notification is safely queued). Outside a batch a
// post is committed at once.
class CEmailBatch {
 public:
  explicit CEmailBatch(CRun& app);
  ~CEmailBatch();
  CEmailBatch(const CEmailBatch&) = delete;
  CEmailBatch& operator=(const CEmailBatch&) = delete;

 private:
  CRun& app_;
};
bool InEmailBatch(const CRun& app);

}  // namespace larkspire
