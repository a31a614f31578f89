// The rules file's "deadlines" section: which event opens a deadline, what is then due, by
// when, until when it can be extended, and which events close it; and the days the patent
// office was closed. See docs/deadlines.md for the section's keys and every built-in rule's
// source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "docket/BusinessDays.h"
#include "rules/RulesFile.h"

namespace larkspire {

inline constexpr std::string_view kDeadlinesSection = "deadlines";

// An event as one of the two status sources names it: its code on the Open Data Portal, its
// text as the status site shows it. A rule's event matches either (the text ignoring case; a
// trailing * matches any rest).
struct CEventName {
  std::string code;
  std::string text;
  bool operator==(const CEventName&) const = default;
};

// What a deadline is counted from.
enum class DeadlineBase {
  kEvent,  // the opening event's date
  kGrant,  // the patent's grant date (maintenance fees); no opening event
};

// Which patents a grant-based rule applies to.
enum class PatentKind { kUtility, kDesign, kPlant, kReissue };

struct CDeadlineRule {
  std::string key;   // the rule's name in the section ("nonfinal", "fee1", ...)
  std::string what;  // "Reply to non-final rejection", "Issue fee", ...
  DeadlineBase base = DeadlineBase::kEvent;
  std::vector<PatentKind> kinds;    // kGrant only: the kinds of patent it applies to
  std::vector<CEventName> opening;  // kEvent only
  CPeriod period;                   // from the base date to the due date
  CPeriod window;                   // kGrant: from the grant to the window's first day
  bool extendable = false;
  CPeriod last;  // from the base date to the last date; only when extendable
  std::vector<CEventName> closing;
};

struct CDeadlineRules {
  std::vector<CDeadlineRule> rules;
  std::vector<int32_t> closures;  // days the office was closed, sorted
  // Why a rule was left out ("" when every rule was read).
  std::string problem;
};

// Reads the section from the rules text through LookupRule, as the other sections are read.
// A rule whose keys cannot be read is left out and named in problem; the others are kept.
CDeadlineRules ReadDeadlineRules(const CRules& rules);

// Whether an event matches one of the names.
bool MatchesEvent(const std::vector<CEventName>& names, std::string_view code,
                  std::string_view text);

// The kind of patent: a patent number starting "D" is a design, "PP" a plant, "RE" a reissue;
// without a patent number, an application of series 29 is a design; otherwise a utility patent.
PatentKind KindOfPatent(std::string_view patent_number, std::string_view application_number);

}  // namespace larkspire
