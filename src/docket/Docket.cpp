#include "docket/Docket.h"

#include <algorithm>

#include "rules/Dates.h"

namespace larkspire {
namespace {

bool DueFirst(const CDeadline* a, const CDeadline* b) {
  if (a->due != b->due) return a->due < b->due;
  if (a->entry_key != b->entry_key) return a->entry_key < b->entry_key;
  return a->rule_key < b->rule_key;
}

std::string_view EventName(const CStatusEvent& event) {
  return event.text.empty() ? event.code : event.text;
}

// A deadline while an entry's deadlines are worked out: its texts are views into the rules, the
// events or the deadline already on the docket, so that an update that changes nothing (the
// daily case) allocates nothing; a CDeadline is made only of what is stored.
struct CDraft {
  std::string_view rule_key;
  std::string_view what;
  std::string_view opening_event;
  int32_t opened_on = 0;
  int32_t window_opens = 0;
  int32_t computed_due = 0;
  int32_t due = 0;
  int32_t last_date = 0;
  bool extendable = false;
  int32_t closed_on = 0;
  std::string_view closing_event;
  bool done = false;
  std::string_view uid;  // "" for a deadline not yet on the docket
};

CDraft DraftOf(const CDeadline& deadline) {
  return {deadline.rule_key,     deadline.what,         deadline.opening_event, deadline.opened_on,
          deadline.window_opens, deadline.computed_due, deadline.due,           deadline.last_date,
          deadline.extendable,   deadline.closed_on,    deadline.closing_event, deadline.done,
          deadline.uid};
}

// A draft's text is often a view of the very text stored (a deadline carried over), which
// then needs no reading.
bool SameText(std::string_view draft, const std::string& stored) {
  return draft.size() == stored.size() && (draft.data() == stored.data() || draft == stored);
}

bool SameDeadline(const CDraft& draft, const CDeadline& stored, std::string_view reference) {
  return draft.opened_on == stored.opened_on && draft.closed_on == stored.closed_on &&
         draft.done == stored.done && draft.due == stored.due &&
         draft.computed_due == stored.computed_due && draft.last_date == stored.last_date &&
         draft.window_opens == stored.window_opens && draft.extendable == stored.extendable &&
         SameText(draft.rule_key, stored.rule_key) && SameText(draft.what, stored.what) &&
         SameText(draft.opening_event, stored.opening_event) &&
         SameText(draft.closing_event, stored.closing_event) &&
         SameText(reference, stored.reference) && SameText(draft.uid, stored.uid);
}

// Made where it is kept, as a new docket writes a hundred thousand of them.
void MakeDeadline(const CDraft& draft, const CEntryFacts& entry, CDeadline& deadline) {
  deadline.entry_key = entry.entry_key;
  deadline.reference = entry.reference;
  deadline.rule_key = draft.rule_key;
  deadline.what = draft.what;
  deadline.opening_event = draft.opening_event;
  deadline.opened_on = draft.opened_on;
  deadline.window_opens = draft.window_opens;
  deadline.computed_due = draft.computed_due;
  deadline.due = draft.due;
  deadline.last_date = draft.last_date;
  deadline.extendable = draft.extendable;
  deadline.closed_on = draft.closed_on;
  deadline.closing_event = draft.closing_event;
  deadline.done = draft.done;
  deadline.uid = draft.uid;
  if (deadline.uid.empty()) deadline.uid = deadline.KeyedUid();
}

CDraft Compute(const CDeadlineRule& rule, const CDeadlineRules& rules, int32_t base) {
  CDraft deadline;
  deadline.rule_key = rule.key;
  deadline.what = rule.what;
  deadline.opened_on = base;
  if (rule.base == DeadlineBase::kGrant) deadline.window_opens = AddPeriod(base, rule.window);
  deadline.computed_due = AddPeriod(base, rule.period);
  deadline.due = NextBusinessDay(deadline.computed_due, rules.closures);
  deadline.extendable = rule.extendable;
  // An extension counts from the period's own last day, not from the business day it moved
  // to, so the last date is counted from the base afresh.
  deadline.last_date =
      rule.extendable ? NextBusinessDay(AddPeriod(base, rule.last), rules.closures) : deadline.due;
  return deadline;
}

bool Usable(const CStatusEvent& event) { return event.day != 0 && event.day != kUnknownDayNumber; }

// What each event opens and closes, worked out once per update (the grant-based deadlines ask
// again of every event).
void ClassifyEvents(const CDeadlineRules& rules, const CStatusEvent* events, std::size_t count,
                    std::vector<CEventClass>& classes) {
  classes.clear();
  for (std::size_t i = 0; i < count; ++i) {
    classes.push_back(Usable(events[i]) ? rules.Classify(events[i].code, events[i].text)
                                        : CEventClass());
  }
}

// One event: it closes the open deadlines opened before its day whose rule it answers, and
// opens those of the rules it opens (which also ends an earlier open deadline of the same rule:
// a second rejection supersedes the first). Events of one day may come in any order.
void ApplyEvent(const CDeadlineRules& rules, const CStatusEvent& event, const CEventClass& found,
                std::vector<CDraft>& list) {
  if (!Usable(event)) return;
  if ((found.opens | found.closes) == 0) return;
  for (std::size_t i = 0; i < rules.rules.size() && i < kMaxDeadlineRules; ++i) {
    const CDeadlineRule& rule = rules.rules[i];
    const uint64_t bit = uint64_t{1} << i;
    const bool closes = (found.closes & bit) != 0;
    const bool opens = rule.base == DeadlineBase::kEvent && (found.opens & bit) != 0;
    if (!closes && !opens) continue;
    for (CDraft& deadline : list) {
      if (deadline.rule_key == rule.key && deadline.closed_on == 0 &&
          deadline.opened_on < event.day) {
        deadline.closed_on = event.day;
        deadline.closing_event = EventName(event);
      }
    }
    if (!opens) continue;
    const bool known = std::any_of(list.begin(), list.end(), [&](const CDraft& deadline) {
      return deadline.rule_key == rule.key && deadline.opened_on == event.day;
    });
    if (known) continue;
    CDraft opened = Compute(rule, rules, event.day);
    opened.opening_event = EventName(event);
    list.push_back(opened);
  }
}

bool AppliesTo(const CDeadlineRule& rule, PatentKind kind) {
  return std::find(rule.kinds.begin(), rule.kinds.end(), kind) != rule.kinds.end();
}

// The grant-based deadlines (maintenance fees): those of the current grant date are added when
// missing, unless their last date passed before today (a patent granted long ago has no fee
// to pay now); ones of an earlier grant date, read wrong then, go unless marked done.
void ApplyGrant(const CDeadlineRules& rules, const CEntryFacts& entry, const CStatusEvent* events,
                const CEventClass* classes, std::size_t count, std::vector<CDraft>& list) {
  const PatentKind kind = KindOfPatent(entry.patent_number, entry.application_number);
  for (std::size_t i = 0; i < rules.rules.size() && i < kMaxDeadlineRules; ++i) {
    const CDeadlineRule& rule = rules.rules[i];
    if (rule.base != DeadlineBase::kGrant) continue;
    std::erase_if(list, [&](const CDraft& deadline) {
      return deadline.rule_key == rule.key && !deadline.done &&
             (deadline.opened_on != entry.grant_day || !AppliesTo(rule, kind));
    });
    if (entry.grant_day == 0 || !Usable({entry.grant_day, "", ""}) || !AppliesTo(rule, kind)) {
      continue;
    }
    auto found = std::find_if(list.begin(), list.end(), [&](const CDraft& deadline) {
      return deadline.rule_key == rule.key && deadline.opened_on == entry.grant_day;
    });
    if (found == list.end()) {
      const CDraft fee = Compute(rule, rules, entry.grant_day);
      if (entry.today != 0 && fee.last_date < entry.today) continue;
      list.push_back(fee);
      found = list.end() - 1;
    }
    for (std::size_t e = 0; e < count; ++e) {
      if (Usable(events[e]) && found->closed_on == 0 && events[e].day > found->opened_on &&
          (classes[e].closes & (uint64_t{1} << i)) != 0) {
        found->closed_on = events[e].day;
        found->closing_event = EventName(events[e]);
      }
    }
  }
}

// Working storage of one update, kept between updates so the daily case does not allocate.
struct CScratch {
  std::vector<CDraft> list;
  std::vector<CEventClass> classes;
  std::vector<std::size_t> order;
  std::vector<const CDeadline*> before;
  std::vector<CDeadline> made;
};

CScratch& Scratch() {
  thread_local CScratch scratch;
  return scratch;
}

uint32_t HashOf(std::string_view entry_key) {
  const std::size_t hash = std::hash<std::string_view>()(entry_key);
  return static_cast<uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

std::size_t CDocket::SlotOf(std::string_view entry_key, uint32_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const CSlot& at = slots_[slot];
    if (at.first == kNone) return slot;
    if (at.hash == hash && deadlines_[at.first].entry_key == entry_key) return slot;
  }
}

uint32_t CDocket::FirstOf(std::string_view entry_key) const {
  if (slots_.empty()) return kNone;
  return slots_[SlotOf(entry_key, HashOf(entry_key))].first;
}

void CDocket::GrowSlots() {
  const std::vector<CSlot> old = std::move(slots_);
  slots_.assign(std::max<std::size_t>(16, old.size() * 2), CSlot());
  const std::size_t mask = slots_.size() - 1;
  for (const CSlot& at : old) {
    if (at.first == kNone) continue;
    std::size_t slot = at.hash & mask;
    while (slots_[slot].first != kNone) slot = (slot + 1) & mask;
    slots_[slot] = at;
  }
}

void CDocket::Link(uint32_t position) {
  next_.push_back(kNone);
  // At most half the places are taken, so a search ends after a few.
  if ((entries_ + 1) * 2 > slots_.size()) GrowSlots();
  const std::string& entry_key = deadlines_[position].entry_key;
  const uint32_t hash = HashOf(entry_key);
  CSlot& at = slots_[SlotOf(entry_key, hash)];
  if (at.first == kNone) {
    at = {hash, position};
    ++entries_;
    return;
  }
  uint32_t last = at.first;
  while (next_[last] != kNone) last = next_[last];
  next_[last] = position;
}

void CDocket::FreeSlot(std::size_t slot) {
  // The entries after it whose search passes the freed place move back into it, so that no
  // search stops short of its entry.
  const std::size_t mask = slots_.size() - 1;
  std::size_t gap = slot;
  for (std::size_t at = (slot + 1) & mask; slots_[at].first != kNone; at = (at + 1) & mask) {
    const std::size_t home = slots_[at].hash & mask;
    if (((at - home) & mask) >= ((at - gap) & mask)) {
      slots_[gap] = slots_[at];
      gap = at;
    }
  }
  slots_[gap] = CSlot();
  --entries_;
}

void CDocket::Reserve(std::size_t entries) {
  constexpr std::size_t kDeadlinesAnEntry = 4;
  const std::size_t room = entries * kDeadlinesAnEntry;
  if (deadlines_.capacity() < room) {
    deadlines_.reserve(room);
    next_.reserve(room);
  }
  while (entries * 2 > slots_.size()) GrowSlots();
}

void CDocket::Replace(std::vector<CDeadline> deadlines) {
  deadlines_ = std::move(deadlines);
  next_.clear();
  next_.reserve(deadlines_.size());
  slots_.clear();
  entries_ = 0;
  for (std::size_t i = 0; i < deadlines_.size(); ++i) {
    // A deadline saved before UIDs were kept gets the one it had then.
    if (deadlines_[i].uid.empty()) deadlines_[i].uid = deadlines_[i].KeyedUid();
    Link(static_cast<uint32_t>(i));
  }
}

std::vector<const CDeadline*> CDocket::OpenEarliestFirst() const {
  std::vector<const CDeadline*> open;
  for (const CDeadline& deadline : deadlines_) {
    if (deadline.IsOpen()) open.push_back(&deadline);
  }
  std::sort(open.begin(), open.end(), DueFirst);
  return open;
}

std::vector<const CDeadline*> CDocket::ForEntry(std::string_view entry_key) const {
  std::vector<const CDeadline*> found;
  for (uint32_t at = FirstOf(entry_key); at != kNone; at = next_[at]) {
    found.push_back(&deadlines_[at]);
  }
  std::sort(found.begin(), found.end(), DueFirst);
  return found;
}

const CDeadline* CDocket::NextOpen(std::string_view entry_key) const {
  const CDeadline* next = nullptr;
  for (uint32_t at = FirstOf(entry_key); at != kNone; at = next_[at]) {
    const CDeadline& deadline = deadlines_[at];
    if (deadline.IsOpen() && (next == nullptr || DueFirst(&deadline, next))) next = &deadline;
  }
  return next;
}

const CDeadline* CDocket::Find(std::string_view uid) const {
  for (const CDeadline& deadline : deadlines_) {
    if (deadline.uid == uid) return &deadline;
  }
  return nullptr;
}

void CDocket::RemoveAt(uint32_t position) {
  const uint32_t last = static_cast<uint32_t>(deadlines_.size() - 1);
  if (position != last) {
    // Whatever led to the last deadline leads to its new place.
    const std::string& moved_key = deadlines_[last].entry_key;
    CSlot& at = slots_[SlotOf(moved_key, HashOf(moved_key))];
    if (at.first == last) {
      at.first = position;
    } else {
      uint32_t before = at.first;
      while (next_[before] != last) before = next_[before];
      next_[before] = position;
    }
    next_[position] = next_[last];
    deadlines_[position] = std::move(deadlines_[last]);
  }
  deadlines_.pop_back();
  next_.pop_back();
}

bool CDocket::Store(std::string_view entry_key, std::vector<CDeadline>& deadlines) {
  bool changed = false;
  std::size_t i = 0;
  uint32_t previous = kNone;
  uint32_t at = FirstOf(entry_key);
  for (; at != kNone && i < deadlines.size(); previous = at, at = next_[at], ++i) {
    if (deadlines_[at] == deadlines[i]) continue;
    deadlines_[at] = std::move(deadlines[i]);
    changed = true;
  }
  for (; i < deadlines.size(); ++i) {
    deadlines_.push_back(std::move(deadlines[i]));
    Link(static_cast<uint32_t>(deadlines_.size() - 1));
    changed = true;
  }
  if (at == kNone) return changed;
  // Fewer than before: the rest are unlinked, then removed from the back, so a position still
  // to be removed is never the one moved into a gap.
  if (previous == kNone) {
    FreeSlot(SlotOf(entry_key, HashOf(entry_key)));
  } else {
    next_[previous] = kNone;
  }
  std::vector<uint32_t> gone;
  for (; at != kNone; at = next_[at]) gone.push_back(at);
  std::sort(gone.rbegin(), gone.rend());
  for (uint32_t position : gone) RemoveAt(position);
  return true;
}

bool CDocket::ApplyHistory(const CDeadlineRules& rules, const CEntryFacts& entry,
                           const std::vector<CStatusEvent>& history) {
  CScratch& scratch = Scratch();
  std::vector<CDraft>& list = scratch.list;
  list.clear();
  ClassifyEvents(rules, history.data(), history.size(), scratch.classes);
  // Oldest first; the events of one day give the same result in any order, so a history
  // listed newest first (as the portal lists it) is only walked backwards.
  const auto by_day = [](const CStatusEvent& a, const CStatusEvent& b) { return a.day < b.day; };
  if (std::is_sorted(history.begin(), history.end(), by_day)) {
    for (std::size_t i = 0; i < history.size(); ++i) {
      ApplyEvent(rules, history[i], scratch.classes[i], list);
    }
  } else if (std::is_sorted(history.rbegin(), history.rend(), by_day)) {
    for (std::size_t i = history.size(); i-- > 0;) {
      ApplyEvent(rules, history[i], scratch.classes[i], list);
    }
  } else {
    std::vector<std::size_t>& ordered = scratch.order;
    ordered.clear();
    for (std::size_t i = 0; i < history.size(); ++i) ordered.push_back(i);
    std::sort(ordered.begin(), ordered.end(), [&](std::size_t a, std::size_t b) {
      return history[a].day != history[b].day ? history[a].day < history[b].day : a < b;
    });
    for (std::size_t i : ordered) ApplyEvent(rules, history[i], scratch.classes[i], list);
  }

  const uint32_t first = FirstOf(entry.entry_key);
  std::vector<const CDeadline*>& before = scratch.before;
  before.clear();
  for (uint32_t at = first; at != kNone; at = next_[at]) before.push_back(&deadlines_[at]);
  std::sort(before.begin(), before.end(), DueFirst);
  // Fee deadlines already on the docket stay although their last date may have passed since.
  for (const CDeadline* old : before) {
    const bool fee = std::any_of(rules.rules.begin(), rules.rules.end(), [&](const auto& rule) {
      return rule.key == old->rule_key && rule.base == DeadlineBase::kGrant;
    });
    if (fee) list.push_back(DraftOf(*old));
  }
  ApplyGrant(rules, entry, history.data(), scratch.classes.data(), history.size(), list);
  // A deadline worked out again is the one on the docket of the same rule and opening date: it
  // keeps its UID and done mark. What the user marked done stays, though the history no longer
  // opens it.
  for (const CDeadline* old : before) {
    auto same = std::find_if(list.begin(), list.end(), [&](const CDraft& deadline) {
      return deadline.rule_key == old->rule_key && deadline.opened_on == old->opened_on;
    });
    if (same != list.end()) {
      same->uid = old->uid;
      same->done = same->done || old->done;
    } else if (old->done) {
      list.push_back(DraftOf(*old));
    }
  }
  return StoreDrafts(entry, first);
}

bool CDocket::ApplyLastEvent(const CDeadlineRules& rules, const CEntryFacts& entry,
                             const CStatusEvent& last_event) {
  CScratch& scratch = Scratch();
  std::vector<CDraft>& list = scratch.list;
  list.clear();
  const uint32_t first = FirstOf(entry.entry_key);
  for (uint32_t at = first; at != kNone; at = next_[at]) list.push_back(DraftOf(deadlines_[at]));
  ClassifyEvents(rules, &last_event, 1, scratch.classes);
  ApplyEvent(rules, last_event, scratch.classes[0], list);
  ApplyGrant(rules, entry, &last_event, scratch.classes.data(), 1, list);
  return StoreDrafts(entry, first);
}

bool CDocket::StoreDrafts(const CEntryFacts& entry, uint32_t first) {
  CScratch& scratch = Scratch();
  const std::vector<CDraft>& list = scratch.list;
  if (first == kNone) {
    // A new entry's drafts view only into the rules and its events, so they go straight in.
    for (const CDraft& draft : list) {
      MakeDeadline(draft, entry, deadlines_.emplace_back());
      Link(static_cast<uint32_t>(deadlines_.size() - 1));
    }
    return !list.empty();
  }
  std::size_t count = 0;
  bool same = true;
  for (uint32_t at = first; at != kNone; at = next_[at], ++count) {
    same =
        same && count < list.size() && SameDeadline(list[count], deadlines_[at], entry.reference);
  }
  if (same && count == list.size()) return false;
  // The drafts may view into deadlines_, so all are made before any is stored.
  std::vector<CDeadline>& made = scratch.made;
  made.clear();
  for (const CDraft& draft : list) MakeDeadline(draft, entry, made.emplace_back());
  return Store(entry.entry_key, made);
}

bool CDocket::SetDone(std::string_view uid, bool done) {
  for (CDeadline& deadline : deadlines_) {
    if (deadline.uid != uid) continue;
    if (deadline.done == done) return false;
    deadline.done = done;
    return true;
  }
  return false;
}

bool CDocket::RemoveEntry(std::string_view entry_key) {
  std::vector<CDeadline> none;
  return Store(entry_key, none);
}

}  // namespace larkspire
