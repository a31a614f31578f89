#include "notify/Digest.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "entries/Entry.h"
#include "entries/Identifier.h"
#include "entries/LastChanges.h"
#include "notify/DigestCompose.h"
#include "notify/EmailQueue.h"
#include "notify/MessageNames.h"
#include "notify/PendingList.h"
#include "notify/ReminderSchedule.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kCanceledMessage = "Operation canceled.";

CDigestItem ItemOf(CRun& app, const CEntry& entry, DigestItemKind kind, const std::string& error) {
  CDigestItem item{kind, entry.GetText(kReference), entry.Identifier(), {}, error};
  const CEntry* previous = app.Slots().previous;
  if (kind == DigestItemKind::kChange && previous != nullptr) {
    for (const CFieldChange& change : ChangedFields(*previous, entry)) {
      item.fields.push_back({kFields[change.field].column_caption, change.now, change.was});
    }
  }
  return item;
}

// The digest's day in the names of its messages: "m2026-12-11".
std::string DigestKey() { return IsoDayText(TodayDayNumber()); }

}  // namespace

CMailChoices MailChoicesOf(CRun& app) {
  const std::optional<std::string> mode = app.Settings().Backend().Read(kSettingsGroup, "MailMode");
  return {app.Settings().NotifyAddress.Items(), app.Settings().NotifyChoice.Items(),
          ChoiceOfMailMode(mode.value_or(kMailModeEach))};
}

bool DigestWanted(CRun& app) { return MailChoicesOf(app).AnyChooses(MailChoice::kDigest); }

bool SingleMailsWanted(CRun& app) {
  const CMailChoices choices = MailChoicesOf(app);
  // Only these take status changes and new entries one by one.
  return choices.AnyChooses(MailChoice::kAll) || choices.AnyChooses(MailChoice::kDeadlines);
}

std::string PostDigestItem(CRun& app, const CEntry& entry, DigestItemKind kind,
                           const std::string& error) {
  const std::string text = FormatDigestItem(ItemOf(app, entry, kind, error));
  return QueueMessage(app, kDigestItemKind, FileSafeIdentifier(entry), text);
}

void PostDigestFailure(CRun& app, const CEntry& entry, const std::string& error) {
  if (error.empty() || error == kCanceledMessage || !DigestWanted(app)) return;
  const std::string queue_error = PostDigestItem(app, entry, DigestItemKind::kFailed, error);
  if (!queue_error.empty()) app.ShowError("E-Mail Creation Failed", queue_error);
}

void ComposeQueuedDigest(CRun& app) {
  const std::string dir = app.Settings().LogDir.Text();
  std::string list_bytes;
  if (dir.empty() || !ReadWholeFile(PendingListPath(app), list_bytes)) return;
  const std::vector<std::string> names = ReadPendingNames(list_bytes);
  CDigestContent content;
  content.org_name = app.Settings().OrgName.Text();
  content.today = TodayDayNumber();
  std::vector<std::string> kept;
  std::vector<std::string> held;
  for (const std::string& name : names) {
    if (MessageKind(name) != kDigestItemKind) {
      kept.push_back(name);
      continue;
    }
    std::string bytes;
    const std::optional<CDigestItem> item =
        ReadWholeFile(JoinPath(dir, name), bytes) ? ParseDigestItem(bytes) : std::nullopt;
    if (!item) {
      // The send drops a name whose file is gone; a damaged item is kept for the user to see.
      app.Log().Write("Digest item not read '%s'\n", name.c_str());
      kept.push_back(name);
      continue;
    }
    content.items.push_back(*item);
    held.push_back(name);
  }
  if (held.empty()) return;
  content.deadlines = DigestDeadlines(app.Docket().OpenEarliestFirst(), content.today);

  std::vector<std::string> written;
  bool ok = true;
  for (const std::string& message : ComposeDigestMessages(content)) {
    // Only a listed name is taken: an unlisted file of the name is a digest whose run ended
    // before it was listed, and is written over.
    const std::string name =
        UnusedMessageName(kDigestKind, DigestKey(), [&](const std::string& taken) {
          return std::find(names.begin(), names.end(), taken) != names.end() ||
                 std::find(kept.begin(), kept.end(), taken) != kept.end();
        });
    if (!WriteFreshFile(JoinPath(dir, name), message)) {
      ok = false;
      break;
    }
    written.push_back(JoinPath(dir, name));
    kept.push_back(name);
  }
  // The messages reach the disk before the list that names them, in place of the items.
  ok = ok && FlushToDisk(written) &&
       SaveFileAtomically(PendingListPath(app), FormatPendingNames(kept));
  if (!ok) {
    for (const std::string& path : written) RemoveFile(path);
    app.Log().Write("Digest not composed: its items stay queued\n");
    return;
  }
  for (const std::string& name : held) RemoveFile(JoinPath(dir, name));
  app.Log().Write("Digest composed of %zu item(s) in %zu message(s)\n", held.size(),
                  written.size());
}

}  // namespace larkspire
