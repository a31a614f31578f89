#include "docket/Docket.h"

namespace larkspire {

std::vector<const CDeadline*> CDocket::OpenEarliestFirst() const { return {}; }
std::vector<const CDeadline*> CDocket::ForEntry(std::string_view) const { return {}; }
const CDeadline* CDocket::NextOpen(std::string_view) const { return nullptr; }
const CDeadline* CDocket::Find(std::string_view) const { return nullptr; }
bool CDocket::ApplyHistory(const CDeadlineRules&, const CEntryFacts&,
                           const std::vector<CStatusEvent>&) {
  return false;
}
bool CDocket::ApplyLastEvent(const CDeadlineRules&, const CEntryFacts&, const CStatusEvent&) {
  return false;
}
bool CDocket::SetDone(std::string_view, bool) { return false; }
bool CDocket::RemoveEntry(std::string_view) { return false; }

}  // namespace larkspire
