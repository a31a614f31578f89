// Deadline reminders: queued at the end of a run for the docket's open deadlines (setting
// ReminderDays, ReminderSchedule.h) and sent with the other notifications.
//
// Each reminder goes once. Its message has a name made of its deadline's UID and its offset,
// and Larkspire_reminders.dat in the logging directory records the reminders queued (one line
// per deadline UID and offset). A new reminder's file is written and flushed first, then the
// record, then the pending list: a run killed before the record leaves a file that the next
// run overwrites; one killed between the record and the list leaves a recorded file that is
// not listed, which the next run lists; a reminder sent has no file left, so nothing recorded
// is ever queued twice.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace larkspire {

class CRun;

inline constexpr const char* kReminderRecordName = "Larkspire_reminders.dat";
inline constexpr const char* kReminderKind = "r";

// Queues the reminders that have fallen due. A ReminderDays that cannot be read is logged and
// shown, and no reminder is queued.
void QueueReminders(CRun& app);

// Decides, for the messages of one send, whether a queued reminder still has an open deadline;
// a message of another kind always goes. The docket is looked at once, at the first reminder.
class CReminderCheck {
 public:
  explicit CReminderCheck(const CRun& app) : app_(app) {}
  bool StillWanted(std::string_view name);

 private:
  const CRun& app_;
  bool read_ = false;
  std::unordered_set<std::string> open_keys_;  // the message keys of the open deadlines
};

}  // namespace larkspire
