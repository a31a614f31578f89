#include "notify/PendingList.h"

#include <algorithm>

#include "platform/Files.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kCommitFailedMessage =
    "PostEmail: Can't create the e-mail notification file.";

// Brings the taken names up to date with the list on disk, reading it only when it is not the
// file last seen.
void RefreshFromList(CRun& app) {
  CEmailQueueState& queue = app.EmailQueue();
  const std::string path = PendingListPath(app);
  const std::optional<FileIdentity> identity = FileIdentityOf(path);
  if (queue.list_read && identity == queue.list_identity) return;
  std::string bytes;
  if (identity) ReadWholeFile(path, bytes);
  const std::vector<std::string> names = ReadPendingNames(bytes);
  queue.taken = {names.begin(), names.end()};
  queue.taken.insert(queue.uncommitted.begin(), queue.uncommitted.end());
  queue.list_ends_line = bytes.empty() || bytes.back() == '\n';
  queue.list_identity = identity;
  queue.list_read = true;
}

// Appends the names; false when the list could not take them all. A line cut short before (a
// power cut during an append) is ended first, so it cannot swallow the first new name.
bool AppendNames(CRun& app, const std::vector<std::string>& names) {
  CEmailQueueState& queue = app.EmailQueue();
  const std::string path = PendingListPath(app);
  RefreshFromList(app);
  const std::string text = (queue.list_ends_line ? "" : "\r\n") + FormatPendingNames(names);
  const bool ok = AppendToFile(path, text) && FlushToDisk({path});
  queue.list_identity = FileIdentityOf(path);
  queue.list_ends_line = true;
  // After a failure nobody knows how much of it is there: the list is read again next time.
  if (!ok) queue.list_read = false;
  return ok;
}

}  // namespace

std::string PendingListPath(const CRun& app) {
  return JoinPath(app.Settings().LogDir.Text(), kPendingListName);
}

std::vector<std::string> ReadPendingNames(const std::string& bytes) {
  std::vector<std::string> names;
  std::string text = FromTextMode(bytes);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string name = text.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

std::string FormatPendingNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return ToTextMode(text);
}

bool PendingNameTaken(CRun& app, const std::string& name) {
  RefreshFromList(app);
  return app.EmailQueue().taken.contains(name);
}

std::optional<std::string> FirstWaitingName(CRun& app,
                                            const std::function<bool(const std::string&)>& match) {
  RefreshFromList(app);
  std::optional<std::string> first;
  for (const std::string& name : app.EmailQueue().taken) {
    if (match(name) && (!first || name < *first)) first = name;
  }
  return first;
}

void AddUncommittedMessage(CRun& app, const std::string& name) {
  RefreshFromList(app);
  app.EmailQueue().uncommitted.push_back(name);
  app.EmailQueue().taken.insert(name);
}

const std::vector<std::string>& UncommittedMessages(const CRun& app) {
  return app.EmailQueue().uncommitted;
}

bool DropUncommittedMessage(CRun& app, const std::string& name) {
  CEmailQueueState& queue = app.EmailQueue();
  if (std::erase(queue.uncommitted, name) == 0) return false;
  queue.taken.erase(name);
  return true;
}

bool CommitPendingMessages(CRun& app) {
  CEmailQueueState& queue = app.EmailQueue();
  if (queue.uncommitted.empty()) return true;
  const std::string dir = app.Settings().LogDir.Text();
  std::vector<std::string> paths;
  for (const std::string& name : queue.uncommitted) paths.push_back(JoinPath(dir, name));
  // The messages first: the list must never name one that the disk does not hold yet.
  if (!FlushToDisk(paths)) return false;
  const std::vector<std::string> names = std::move(queue.uncommitted);
  queue.uncommitted.clear();
  const bool ok = AppendNames(app, names);
  if (!ok) {
    // Those the list took are queued; the others wait for the next commit.
    RefreshFromList(app);
    for (const std::string& name : names) {
      if (!queue.taken.contains(name)) queue.uncommitted.push_back(name);
    }
    queue.taken.insert(queue.uncommitted.begin(), queue.uncommitted.end());
  }
  const std::size_t listed = names.size() - queue.uncommitted.size();
  for (std::size_t i = 0; i < listed; ++i) app.Settings().CountEmailPost.Increment();
  return ok;
}

bool CommitEmailQueue(CRun& app) {
  if (CommitPendingMessages(app)) return true;
  app.Status().had_failures = true;
  app.ShowError("E-Mail Creation Failed", kCommitFailedMessage);
  return false;
}

CEmailBatch::CEmailBatch(CRun& app) : app_(app) { ++app_.EmailQueue().batch_depth; }

CEmailBatch::~CEmailBatch() {
  if (--app_.EmailQueue().batch_depth == 0) CommitEmailQueue(app_);
}

bool InEmailBatch(const CRun& app) { return app.EmailQueue().batch_depth > 0; }

}  // namespace larkspire
