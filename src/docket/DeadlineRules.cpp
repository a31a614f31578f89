#include "docket/DeadlineRules.h"

namespace larkspire {

CDeadlineRules ReadDeadlineRules(const CRules&) { return {}; }

bool MatchesEvent(const std::vector<CEventName>&, std::string_view, std::string_view) {
  return false;
}

PatentKind KindOfPatent(std::string_view, std::string_view) { return PatentKind::kUtility; }

}  // namespace larkspire
