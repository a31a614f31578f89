#include "retrieval/ChangeDetection.h"

#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "notify/Templates.h"
#include "rules/Dates.h"
#include "run/Run.h"

namespace larkspire {

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
  if (!fresh.SameStatus(stored) && stored.last_change != 0) {
    fresh.last_change = TodayDayNumber();
    app.Settings().CountStatusChange.Increment();
    {
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
  }
  return ReplaceEntry(app, row, std::move(fresh), ReplaceNotice::kReferenceChange);
}

}  // namespace larkspire
