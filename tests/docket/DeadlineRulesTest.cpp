#include <gtest/gtest.h>

#include <algorithm>

#include "docket/DeadlineRules.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

CDeadlineRules Read(std::string_view text) {
  return ReadDeadlineRules(CRules{text, [](std::string_view) { return std::string(); }});
}

const CDeadlineRule* RuleOpenedBy(const CDeadlineRules& rules, std::string_view code,
                                  std::string_view text) {
  for (const CDeadlineRule& rule : rules.rules) {
    if (rule.opening.Matches(code, text)) return &rule;
  }
  return nullptr;
}

TEST(DeadlineRules, BuiltInRulesOpenTheOfficeActionsDeadlines) {
  const std::string text = ChooseRulesText("");
  const CDeadlineRules rules = Read(text);
  EXPECT_EQ(rules.problem, "");
  struct CCase {
    const char* code;
    const char* text;  // as the status site shows it
    const char* what;
    CPeriod period;
    bool extendable;
    CPeriod last;
  };
  const CCase cases[] = {
      {"CTNF",
       "Mail Non-Final Rejection",
       "Reply to non-final rejection",
       {0, 3, 0},
       true,
       {0, 6, 0}},
      {"CTFR",
       "Mail Final Rejection (PTOL - 326)",
       "Reply to final rejection",
       {0, 3, 0},
       true,
       {0, 6, 0}},
      {"CTRS",
       "Mail Restriction Requirement",
       "Reply to restriction or election requirement",
       {0, 2, 0},
       true,
       {0, 6, 0}},
      {"CTEQ",
       "Mail Ex Parte Quayle Action (PTOL - 326)",
       "Reply to ex parte Quayle action",
       {0, 2, 0},
       true,
       {0, 6, 0}},
      {"MN/=.", "Mail Notice of Allowance", "Issue fee", {0, 3, 0}, false, {}},
      {"",
       "Notice Mailed--Application Incomplete--Filing Date Assigned",
       "Reply to notice to file missing parts",
       {0, 2, 0},
       true,
       {0, 7, 0}},
  };
  for (const CCase& c : cases) {
    SCOPED_TRACE(c.text);
    for (const auto& [code, shown] : {std::pair<std::string, std::string>{c.code, ""},
                                      std::pair<std::string, std::string>{"", c.text}}) {
      if (code.empty() && shown.empty()) continue;
      const CDeadlineRule* rule = RuleOpenedBy(rules, code, shown);
      ASSERT_NE(rule, nullptr) << code << shown;
      EXPECT_EQ(rule->what, c.what);
      EXPECT_EQ(rule->base, DeadlineBase::kEvent);
      EXPECT_EQ(rule->period, c.period);
      EXPECT_EQ(rule->extendable, c.extendable);
      if (c.extendable) {
        EXPECT_EQ(rule->last, c.last);
      }
    }
  }
  // Texts compare ignoring case; an event that opens nothing opens nothing.
  EXPECT_NE(RuleOpenedBy(rules, "", "MAIL NON-FINAL REJECTION"), nullptr);
  EXPECT_EQ(RuleOpenedBy(rules, "IDS", "Information Disclosure Statement (IDS) Filed"), nullptr);
}

TEST(DeadlineRules, BuiltInMaintenanceFeesCountFromTheGrantOfUtilityPatents) {
  const CDeadlineRules rules = Read(ChooseRulesText(""));
  std::vector<const CDeadlineRule*> fees;
  for (const CDeadlineRule& rule : rules.rules) {
    if (rule.base == DeadlineBase::kGrant) fees.push_back(&rule);
  }
  ASSERT_EQ(fees.size(), 3u);
  const int years[] = {3, 7, 11};
  for (std::size_t i = 0; i < fees.size(); ++i) {
    SCOPED_TRACE(fees[i]->key);
    EXPECT_EQ(fees[i]->kinds, std::vector<PatentKind>{PatentKind::kUtility});
    EXPECT_EQ(fees[i]->window, (CPeriod{years[i], 0, 0}));
    EXPECT_EQ(fees[i]->period, (CPeriod{years[i], 6, 0}));
    EXPECT_TRUE(fees[i]->extendable);
    EXPECT_EQ(fees[i]->last, (CPeriod{years[i] + 1, 0, 0}));
  }
  EXPECT_TRUE(std::is_sorted(rules.closures.begin(), rules.closures.end()));
  EXPECT_TRUE(std::binary_search(rules.closures.begin(), rules.closures.end(),
                                 ParseDayNumber("2025-01-09")));
}

TEST(DeadlineRules, ABrokenRuleIsLeftOutAndNamed) {
  const std::string text =
      "version: 1\r\n"
      "deadlines:\r\n"
      " rules: good bad odd!name\r\n"
      " what[good]: Reply\r\n"
      " open-texts[good]: Mail Something*\r\n"
      " period[good]: 1 month 15 days\r\n"
      " last[good]: none\r\n"
      " what[bad]: Other reply\r\n"
      " open-codes[bad]: X\r\n"
      " period[bad]: three months\r\n"
      " closed: 2020-01-02 2019-13-01\r\n"
      "end-of-rules\r\n";
  const CDeadlineRules rules = Read(text);
  ASSERT_EQ(rules.rules.size(), 1u);
  EXPECT_EQ(rules.rules[0].key, "good");
  EXPECT_EQ(rules.rules[0].period, (CPeriod{0, 1, 15}));
  EXPECT_FALSE(rules.rules[0].extendable);
  EXPECT_TRUE(rules.rules[0].opening.Matches("", "mail something new"));
  EXPECT_NE(rules.problem.find("bad"), std::string::npos) << rules.problem;
  EXPECT_EQ(rules.closures, std::vector<int32_t>{ParseDayNumber("2020-01-02")});
  EXPECT_TRUE(Read("version: 1\r\nend-of-rules\r\n").rules.empty());
}

TEST(DeadlineRules, KindOfPatentFromItsNumbers) {
  const struct {
    const char* patent;
    const char* application;
    PatentKind kind;
  } cases[] = {
      {"7,123,456", "10/123,456", PatentKind::kUtility},
      {"D512,345", "29/123,456", PatentKind::kDesign},
      {"PP17,000", "11/000,001", PatentKind::kPlant},
      {"RE40,000", "11/000,002", PatentKind::kReissue},
      {"", "29/200,000", PatentKind::kDesign},
      {"", "13/200,000", PatentKind::kUtility},
      {"H2,000", "", PatentKind::kOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KindOfPatent(c.patent, c.application), c.kind) << c.patent << " " << c.application;
  }
}

}  // namespace
}  // namespace larkspire
