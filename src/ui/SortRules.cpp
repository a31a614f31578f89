#include "ui/SortRules.h"

#include "entries/Entry.h"

namespace larkspire {
namespace {

bool IsDateLike(int field) { return field >= 0 && field < kFieldCount && kFields[field].date_like; }

}  // namespace

SortOrder SortOrderAfter(SortOrder current, SortTrigger trigger, int field) {
  switch (trigger) {
    case SortTrigger::kByField:
      return {field, false};
    case SortTrigger::kHeaderClick:
      return {field, field == current.field ? !current.reversed : false};
    case SortTrigger::kAscending:
      return {current.field, IsDateLike(current.field)};
    case SortTrigger::kDescending:
      return {current.field, !IsDateLike(current.field)};
  }
  return current;
}

bool IsAscending(SortOrder order) { return order.reversed == IsDateLike(order.field); }

}  // namespace larkspire
