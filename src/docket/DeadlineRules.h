// The rules file's "deadlines" section: which event opens a deadline, what is then due, by
// when, until when it can be extended, and which events close it; and the days the patent
// office was closed. See docs/deadlines.md for the section's keys and every built-in rule's
// source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "docket/BusinessDays.h"
#include "rules/RulesFile.h"

namespace larkspire {

inline constexpr std::string_view kDeadlinesSection = "deadlines";

// Events as the two status sources name them: codes as the Open Data Portal gives them, texts
// as the status site (and the portal's descriptions) show them. An event matches when its code
// is one of the codes or its text matches one of the texts, ignoring case, where * stands for
// any run of characters.
struct CEventSet {
  std::vector<std::string> codes;
  std::vector<std::string> texts;
  bool Matches(std::string_view code, std::string_view text) const;
  bool operator==(const CEventSet&) const = default;
};

// What a deadline is counted from.
enum class DeadlineBase {
  kEvent,  // the opening event's date
  kGrant,  // the patent's grant date (maintenance fees); no opening event
};

// Which patents a grant-based rule applies to.
enum class PatentKind { kUtility, kDesign, kPlant, kReissue, kOther };

struct CDeadlineRule {
  std::string key;   // the rule's name in the section ("nonfinal", "fee1", ...)
  std::string what;  // "Reply to non-final rejection", "Issue fee", ...
  DeadlineBase base = DeadlineBase::kEvent;
  std::vector<PatentKind> kinds;  // kGrant only: the kinds of patent it applies to
  CEventSet opening;              // kEvent only
  CPeriod period;                 // from the base date to the due date
  CPeriod window;                 // kGrant: from the grant to the window's first day
  bool extendable = false;
  CPeriod last;  // from the base date to the last date; only when extendable
  CEventSet closing;
};

// Which rules an event opens and which it closes, one bit per rule in CDeadlineRules::rules.
struct CEventClass {
  uint64_t opens = 0;
  uint64_t closes = 0;
};

// At most this many rules are read; more are left out and named in problem.
inline constexpr std::size_t kMaxDeadlineRules = 64;

class CDeadlineRules {
 public:
  std::vector<CDeadlineRule> rules;
  std::vector<int32_t> closures;  // days the office was closed, sorted
  // Why a rule was left out ("" when every rule was read).
  std::string problem;

  // What the event opens and closes, as the rules' CEventSets say, from an index of their codes
  // and texts (an update asks this of every event of every entry).
  CEventClass Classify(std::string_view code, std::string_view text) const;
  // Builds that index; ReadDeadlineRules does, and whoever changes rules afterwards must.
  void IndexEvents();

  // A text with * in lower case, what every text it matches begins with and the longest piece
  // it holds without *.
  struct CTextPattern {
    std::string pattern;
    std::string head;
    std::string piece;
    CEventClass events;
  };

 private:
  struct CTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  using CEventIndex = std::unordered_map<std::string, CEventClass, CTextHash, std::equal_to<>>;

  CEventIndex by_code_;
  CEventIndex by_text_;  // texts without *, in lower case
  std::vector<CTextPattern> patterns_;
};

// Reads the section from the rules text through LookupRule, as the other sections are read.
// A rule whose keys cannot be read is left out and named in problem; the others are kept.
CDeadlineRules ReadDeadlineRules(const CRules& rules);

// The kind of patent: a patent number starting "D" is a design, "PP" a plant, "RE" a reissue,
// "H" or "T" (statutory invention registrations, defensive publications) other; without a
// patent number, an application of series 29 (or 35, international design applications) is a
// design; otherwise a utility patent.
PatentKind KindOfPatent(std::string_view patent_number, std::string_view application_number);

}  // namespace larkspire
