// How each way of sorting the list changes the sort field and direction. Date-like fields sort
// newest first by nature, so for them "ascending" is the reversed order.
#pragma once

namespace larkspire {

struct SortOrder {
  int field = 0;
  bool reversed = false;
  bool operator==(const SortOrder&) const = default;
};

enum class SortTrigger { kByField, kHeaderClick, kAscending, kDescending };

// The order after a trigger; field is the one named by the trigger (ignored by Ascending and
// Descending). The caller re-sorts only when the result differs from the current order.
SortOrder SortOrderAfter(SortOrder current, SortTrigger trigger, int field);
// Whether the Ascending item carries the check mark (Descending carries it otherwise).
bool IsAscending(SortOrder order);

}  // namespace larkspire
