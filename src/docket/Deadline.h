// One deadline of one entry, and the events the status sources report.
#pragma once

#include <cstdint>
#include <string>

namespace larkspire {

// An event of an application: its date, its code on the Open Data Portal ("" on the status
// site) and its text.
struct CStatusEvent {
  int32_t day = 0;
  std::string code;
  std::string text;
};

struct CDeadline {
  std::string entry_key;      // the entry's Identifier() (its number as the list keys it)
  std::string reference;      // the entry's Reference when last computed
  std::string rule_key;       // the rule that opened it
  std::string what;           // "Reply to non-final rejection", "Issue fee", ...
  std::string opening_event;  // the event's text as seen ("" for a grant-based deadline)
  int32_t opened_on = 0;      // the opening event's date (the grant date for maintenance fees)
  int32_t window_opens = 0;   // the first day the fee can be paid (maintenance fees), else 0
  int32_t computed_due = 0;   // the period counted from opened_on
  int32_t due = 0;            // computed_due moved to the next business day
  int32_t last_date = 0;      // the last date with extensions, moved (== due when not extendable)
  bool extendable = false;
  int32_t closed_on = 0;  // the closing event's date, 0 while not closed by an event
  std::string closing_event;
  bool done = false;  // marked done by the user (undo clears it)
  // The UID the docket gave the deadline when it first made it; "" until then.
  std::string uid;

  bool IsOpen() const { return closed_on == 0 && !done; }
  // Stable across runs and across a change of the entry's key (an application granted, a
  // patent that learns its application number): the UID given, else KeyedUid().
  std::string Uid() const;
  // Made of opened_on, rule_key and entry_key, with every byte but letters and digits of the
  // entry key written as "_" and two hex digits; what a new deadline is given.
  std::string KeyedUid() const;
  bool operator==(const CDeadline&) const = default;
};

}  // namespace larkspire
