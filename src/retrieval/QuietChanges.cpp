#include "retrieval/QuietChanges.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "docket/DeadlineRules.h"
#include "entries/Entry.h"
#include "entries/LastChanges.h"
#include "notify/Variables.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

inline constexpr std::string_view kMailSection = "mail";

bool IsEventField(int id) { return id == kLastHistoryDate || id == kLastHistoryText; }

}  // namespace

bool MailsByItself(CRun& app, const CEntry& was, const CEntry& now) {
  const std::string quiet_fields = LookupRule(app, kMailSection, "quiet-fields");
  const std::string quiet_events = LookupRule(app, kMailSection, "quiet-events");
  if (quiet_fields.empty() && quiet_events.empty()) return true;

  std::vector<int> fields;
  for (const std::string& key : SplitRuleList(quiet_fields, ' '))
    fields.push_back(FindFieldByKey(key));
  const CEventSet events{{}, SplitRuleList(quiet_events, '#')};
  const bool quiet_event = events.Matches("", now.Text(kLastHistoryText));

  const std::vector<CFieldChange> changes = ChangedFields(was, now);
  return changes.empty() || std::any_of(changes.begin(), changes.end(), [&](const CFieldChange& c) {
           const bool listed = std::find(fields.begin(), fields.end(), c.field) != fields.end();
           return !listed && !(quiet_event && IsEventField(c.field));
         });
}

}  // namespace larkspire
