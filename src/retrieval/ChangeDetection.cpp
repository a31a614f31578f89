#include "retrieval/ChangeDetection.h"

#include "entries/LastChanges.h"
#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/Templates.h"
#include "retrieval/QuietChanges.h"
#include "rules/Dates.h"
#include "run/Run.h"

namespace larkspire {
namespace {

// What a row is listed with before its status page has been read: the Add dialog, a CSV import
// and the master list give an entry its reference and one of its numbers.
bool IsListingField(int id) {
  return id == kReference || id == kAppNum || id == kPatNum || id == kPubNum;
}

// An entry that has never been read from its status page: one never seen before (LastChange
// 0), or one with no completed update that holds nothing but what it was listed with. A row
// listed by an import has a LastChange from its normalisation, which a restart gives back even
// when it was cleared, so the fields tell. Its first update is how it learns its status, not a
// change of it: mailing every field as "(was)" nothing would only bury the real changes.
bool NeverRead(const CEntry& entry) {
  if (entry.last_change == 0) return true;
  if (entry.last_update != 0) return false;
  for (int id : kChangeList) {
    if (!IsListingField(id) && !entry.Text(id).empty()) return false;
  }
  return true;
}

}  // namespace

bool CheckRevertedFields(CRun& app, const CEntry& fresh, const CEntry& stored) {
  int reverted = 0;
  std::string changes;
  for (int id : kCompareList) {
    const std::string was = stored.GetText(id);
    if (fresh.GetText(id).empty() && !was.empty()) {
      ++reverted;
      changes += "\n";
      changes += kFields[id].column_caption;
      changes += " (was): " + was;
    }
  }
  if (reverted < 3 || !app.Status().warn_reverted) return true;
  MsgAnswer answer = app.MessageBox(
      "Three or more fields for " + stored.Identifier() +
          " reverted to nothing. This may be an indication of problem extracting data from the "
          "webpage.\n\nIs this okay?\n\nYES - don't warn me again\nNO - continue updating, but "
          "warn me if it happens again\nCANCEL - cancel the updates\n" +
          changes,
      MsgButtons::kYesNoCancel, MsgAnswer::kYes, "", MsgAnswer::kNo);
  if (answer == MsgAnswer::kYes) app.Status().warn_reverted = false;
  return answer != MsgAnswer::kCancel;
}

std::string ApplyUpdate(CRun& app, std::size_t row, CEntry fresh, const CEntry& stored) {
  std::string queue_error;
  if (NeverRead(stored)) {
    // Its last change is its last event, as for an entry never seen before.
    fresh.last_change = 0;
    fresh.Normalize();
  } else if (!fresh.SameStatus(stored)) {
    fresh.last_change = TodayDayNumber();
    app.Settings().CountStatusChange.Increment();
    if (!MailsByItself(app, stored, fresh)) {
      app.Log().Write("Change of %s not mailed: the rules list what changed as not worth a mail\n",
                      fresh.Identifier().c_str());
    } else {
      CExpansionScope scope(app, nullptr, &stored);
      queue_error = PostEmail(app, fresh, kTemplateStatusChange, "s");
    }
    if (!queue_error.empty()) {
      // The change could not be queued: keep the old record, due at once, so the next run
      // finds the change again and mails it instead of hiding it for good.
      CEntry kept = stored;
      kept.last_update = 0;
      ReplaceEntry(app, row, kept, ReplaceNotice::kNone);
      return queue_error;
    }
    // For the Details window; a file that cannot be written only leaves it nothing to show.
    RecordLastChange(app.Settings().LogDir.Text(), fresh,
                     {fresh.last_change, ChangedFields(stored, fresh)});
  }
  return ReplaceEntry(app, row, std::move(fresh), ReplaceNotice::kReferenceChange);
}

}  // namespace larkspire
