// Every deadline of every entry, computed from the events the status sources report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docket/Deadline.h"
#include "docket/DeadlineRules.h"

namespace larkspire {

// What the docket needs of an entry besides its events.
struct CEntryFacts {
  std::string entry_key;           // the entry's Identifier()
  std::string reference;           // its Reference
  std::string application_number;  // its AppNum, for the kind of patent
  std::string patent_number;       // its PatNum, for the kind of patent
  int32_t grant_day = 0;           // its IssueDate as a day number; 0 while not granted
  int32_t today = 0;  // a maintenance fee whose last date is before today is not opened anew
};

class CDocket {
 public:
  // Every deadline, open, closed and done, in no particular order.
  const std::vector<CDeadline>& All() const { return deadlines_; }
  std::vector<const CDeadline*> OpenEarliestFirst() const;
  // The entry's deadlines, open and done, earliest due first.
  std::vector<const CDeadline*> ForEntry(std::string_view entry_key) const;
  // The entry's open deadline due first; null when none is open.
  const CDeadline* NextOpen(std::string_view entry_key) const;
  const CDeadline* Find(std::string_view uid) const;

  // Each mutating call returns whether anything changed, so the caller saves only then.

  // The Open Data Portal: the whole event history is known. The entry's deadlines are
  // recomputed from it: a deadline is open when no closing event follows its opening event.
  // Done marks are kept by UID, and a done deadline stays even when the history no longer
  // opens it.
  bool ApplyHistory(const CDeadlineRules& rules, const CEntryFacts& entry,
                    const std::vector<CStatusEvent>& history);
  // The status site: only the last event is known. An opening event opens its deadline; a
  // closing event closes the open ones it answers; any other event changes nothing, so a
  // deadline never closes because an unrelated event became the last one.
  bool ApplyLastEvent(const CDeadlineRules& rules, const CEntryFacts& entry,
                      const CStatusEvent& last_event);
  // Marks a deadline done, or undoes that; false when no deadline has the UID or it already was.
  bool SetDone(std::string_view uid, bool done);
  bool RemoveEntry(std::string_view entry_key);

  // Room for the deadlines of this many entries, a few each, so that a docket computed from
  // nothing is not copied again and again as it grows (room never written to costs no memory).
  void Reserve(std::size_t entries);

  // The file loader's way in: the deadlines as they were saved.
  void Replace(std::vector<CDeadline> deadlines);

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  // A place of the index: an entry's key hash and its first deadline; first is kNone while
  // the place is free.
  struct CSlot {
    uint32_t hash = 0;
    uint32_t first = kNone;
  };

  // The index's place of the entry, or the free place where it would go.
  std::size_t SlotOf(std::string_view entry_key, uint32_t hash) const;
  // Links a deadline just appended to deadlines_ behind the entry's others.
  void Link(uint32_t position);
  void FreeSlot(std::size_t slot);
  void GrowSlots();
  // Puts the entry's deadlines in place of those it had (moved from); whether anything changed.
  bool Store(std::string_view entry_key, std::vector<CDeadline>& deadlines);
  // Stores the update's deadlines as worked out (see Docket.cpp) when they differ from those
  // the entry has; first is the entry's first deadline (kNone when it has none).
  bool StoreDrafts(const CEntryFacts& entry, uint32_t first);
  uint32_t FirstOf(std::string_view entry_key) const;
  void RemoveAt(uint32_t position);

  std::vector<CDeadline> deadlines_;
  // Each entry's deadlines as a list through deadlines_: the next one of the same entry, kNone
  // after the last.
  std::vector<uint32_t> next_;
  // Where each entry's deadlines begin, by open addressing on the entry key (read from the
  // deadline itself), so that an entry's update costs the same with a hundred thousand
  // entries as with ten and a new entry allocates nothing in the index.
  std::vector<CSlot> slots_;
  std::size_t entries_ = 0;
};

}  // namespace larkspire
