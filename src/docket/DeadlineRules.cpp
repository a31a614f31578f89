#include "docket/DeadlineRules.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "rules/Dates.h"

namespace larkspire {
namespace {

// Event texts are compared in ASCII lower case (other bytes as they are), cheaply: every
// event of every entry is looked up.
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Ignoring case; * in the pattern stands for any run of characters.
bool MatchesPattern(std::string_view text, std::string_view pattern) {
  std::size_t t = 0;
  std::size_t p = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && Lower(pattern[p]) == Lower(text[t])) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// "3 months", "3 years 6 months", "30 days"; nothing when it is not such a text.
std::optional<CPeriod> ParsePeriod(std::string_view text) {
  const std::vector<std::string> words = SplitRuleList(text, ' ');
  if (words.empty() || words.size() % 2 != 0) return std::nullopt;
  CPeriod period;
  for (std::size_t i = 0; i < words.size(); i += 2) {
    const std::string& number = words[i];
    if (number.empty() || number.size() > 3 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return std::nullopt;
    }
    const int count = std::stoi(number);
    std::string unit = words[i + 1];
    if (unit.ends_with('s')) unit.pop_back();
    if (unit == "year") {
      period.years += count;
    } else if (unit == "month") {
      period.months += count;
    } else if (unit == "day") {
      period.days += count;
    } else {
      return std::nullopt;
    }
  }
  return period;
}

std::optional<PatentKind> ParseKind(std::string_view name) {
  if (name == "utility") return PatentKind::kUtility;
  if (name == "design") return PatentKind::kDesign;
  if (name == "plant") return PatentKind::kPlant;
  if (name == "reissue") return PatentKind::kReissue;
  return std::nullopt;
}

// A text with *, with what every text it matches must begin with and hold, checked first.
CDeadlineRules::CTextPattern MakePattern(const std::string& pattern) {
  CDeadlineRules::CTextPattern made;
  made.pattern = pattern;
  made.head = pattern.substr(0, pattern.find('*'));
  std::size_t start = 0;
  while (start <= pattern.size()) {
    std::size_t end = pattern.find('*', start);
    if (end == std::string::npos) end = pattern.size();
    if (end - start > made.piece.size()) made.piece = pattern.substr(start, end - start);
    start = end + 1;
  }
  return made;
}

bool IsRuleName(std::string_view key) {
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  });
}

class CSectionReader {
 public:
  explicit CSectionReader(const CRules& rules) : rules_(rules) {}

  std::string Value(std::string_view key) const {
    return LookupRule(rules_, kDeadlinesSection, key);
  }
  std::string Value(std::string_view name, std::string_view rule) const {
    std::string key(name);
    key += '[';
    key += rule;
    key += ']';
    return Value(key);
  }

  // The rule, or a reason it cannot be read.
  std::optional<CDeadlineRule> Rule(const std::string& key, std::string& problem) const {
    CDeadlineRule rule;
    rule.key = key;
    rule.what = Value("what", key);
    if (rule.what.empty()) return Fail(problem, key, "names nothing due (what)");
    const std::string from = Value("from", key);
    if (from == "grant") {
      rule.base = DeadlineBase::kGrant;
    } else if (!from.empty() && from != "event") {
      return Fail(problem, key, "counts from \"" + from + "\" (from: event or grant)");
    }
    const std::optional<CPeriod> period = ParsePeriod(Value("period", key));
    if (!period) return Fail(problem, key, "has no period such as \"3 months\"");
    rule.period = *period;
    const std::string last = Value("last", key);
    if (last != "none") {
      const std::optional<CPeriod> extended = ParsePeriod(last);
      if (!extended) return Fail(problem, key, "has no last date such as \"6 months\" or none");
      rule.extendable = true;
      rule.last = *extended;
    }
    rule.opening = {SplitRuleList(Value("open-codes", key), ' '),
                    SplitRuleList(Value("open-texts", key), '#')};
    rule.closing = {SplitRuleList(Value("close-codes", key), ' '),
                    SplitRuleList(Value("close-texts", key), '#')};
    if (rule.base == DeadlineBase::kEvent) {
      if (rule.opening.codes.empty() && rule.opening.texts.empty()) {
        return Fail(problem, key, "names no event that opens it");
      }
      return rule;
    }
    for (const std::string& name : SplitRuleList(Value("kinds", key), ' ')) {
      const std::optional<PatentKind> kind = ParseKind(name);
      if (!kind) return Fail(problem, key, "names an unknown kind of patent \"" + name + "\"");
      rule.kinds.push_back(*kind);
    }
    if (rule.kinds.empty()) return Fail(problem, key, "names no kind of patent");
    const std::string window = Value("window", key);
    if (!window.empty()) {
      const std::optional<CPeriod> opens = ParsePeriod(window);
      if (!opens) return Fail(problem, key, "has a window that is not a period");
      rule.window = *opens;
    }
    return rule;
  }

 private:
  static std::nullopt_t Fail(std::string& problem, std::string_view key, const std::string& why) {
    if (problem.empty()) {
      problem = "Rules file: deadlines rule " + std::string(key) + " " + why + "; it is left out.";
    }
    return std::nullopt;
  }

  const CRules& rules_;
};

}  // namespace

void CDeadlineRules::IndexEvents() {
  by_code_.clear();
  by_text_.clear();
  patterns_.clear();
  for (std::size_t i = 0; i < rules.size() && i < kMaxDeadlineRules; ++i) {
    const uint64_t bit = uint64_t{1} << i;
    const auto add = [&](const CEventSet& events, uint64_t CEventClass::*mask) {
      for (const std::string& code : events.codes) by_code_[code].*mask |= bit;
      for (const std::string& text : events.texts) {
        std::string lower = text;
        for (char& c : lower) c = Lower(c);
        if (lower.find('*') == std::string::npos) {
          by_text_[lower].*mask |= bit;
          continue;
        }
        auto found =
            std::find_if(patterns_.begin(), patterns_.end(),
                         [&](const CTextPattern& known) { return known.pattern == lower; });
        if (found == patterns_.end()) found = patterns_.insert(patterns_.end(), MakePattern(lower));
        found->events.*mask |= bit;
      }
    };
    add(rules[i].opening, &CEventClass::opens);
    add(rules[i].closing, &CEventClass::closes);
  }
}

CEventClass CDeadlineRules::Classify(std::string_view code, std::string_view text) const {
  CEventClass found;
  const auto merge = [&](const CEventClass& more) {
    found.opens |= more.opens;
    found.closes |= more.closes;
  };
  if (!code.empty()) {
    if (auto at = by_code_.find(code); at != by_code_.end()) merge(at->second);
  }
  if (text.empty()) return found;
  thread_local std::string lower;
  lower.assign(text);
  for (char& c : lower) c = Lower(c);
  if (auto at = by_text_.find(lower); at != by_text_.end()) merge(at->second);
  for (const CTextPattern& pattern : patterns_) {
    if (lower.starts_with(pattern.head) && lower.find(pattern.piece) != std::string::npos &&
        MatchesPattern(lower, pattern.pattern)) {
      merge(pattern.events);
    }
  }
  return found;
}

bool CEventSet::Matches(std::string_view code, std::string_view text) const {
  if (!code.empty() && std::find(codes.begin(), codes.end(), code) != codes.end()) return true;
  if (text.empty()) return false;
  return std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& pattern) { return MatchesPattern(text, pattern); });
}

CDeadlineRules ReadDeadlineRules(const CRules& rules) {
  CDeadlineRules result;
  const CSectionReader section(rules);
  for (const std::string& key : SplitRuleList(section.Value("rules"), ' ')) {
    if (!IsRuleName(key)) {
      if (result.problem.empty()) {
        result.problem = "Rules file: deadlines rule name \"" + key +
                         "\" holds more than letters, digits and hyphens; it is left out.";
      }
      continue;
    }
    std::optional<CDeadlineRule> rule = section.Rule(key, result.problem);
    if (!rule) continue;
    if (result.rules.size() == kMaxDeadlineRules) {
      if (result.problem.empty()) {
        result.problem = "Rules file: deadlines has more than " +
                         std::to_string(kMaxDeadlineRules) + " rules; " + key +
                         " and those after it are left out.";
      }
      break;
    }
    result.rules.push_back(std::move(*rule));
  }
  for (const std::string& date : SplitRuleList(section.Value("closed"), ' ')) {
    const int32_t day = ParseDayNumber(date);
    if (day == 0 || day == kUnknownDayNumber) {
      if (result.problem.empty()) {
        result.problem =
            "Rules file: deadlines closed day \"" + date + "\" is not a yyyy-mm-dd date.";
      }
      continue;
    }
    result.closures.push_back(day);
  }
  std::sort(result.closures.begin(), result.closures.end());
  result.IndexEvents();
  return result;
}

PatentKind KindOfPatent(std::string_view patent_number, std::string_view application_number) {
  while (!patent_number.empty() && patent_number.front() == ' ') patent_number.remove_prefix(1);
  if (!patent_number.empty()) {
    const auto starts = [&](std::string_view prefix) {
      return patent_number.size() >= prefix.size() &&
             std::equal(prefix.begin(), prefix.end(), patent_number.begin(),
                        [](char a, char b) { return Lower(a) == Lower(b); });
    };
    if (starts("PP")) return PatentKind::kPlant;
    if (starts("RE")) return PatentKind::kReissue;
    if (starts("D")) return PatentKind::kDesign;
    if (starts("H") || starts("T")) return PatentKind::kOther;
    return PatentKind::kUtility;
  }
  while (!application_number.empty() && application_number.front() == ' ') {
    application_number.remove_prefix(1);
  }
  if (application_number.starts_with("29") || application_number.starts_with("35")) {
    return PatentKind::kDesign;
  }
  return PatentKind::kUtility;
}

}  // namespace larkspire
