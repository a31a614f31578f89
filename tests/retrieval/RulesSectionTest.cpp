// A whole rules section read entry by entry, bounded the way LookupRule bounds it.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "notify/Variables.h"
#include "retrieval/RulesSection.h"
#include "rules/RulesFile.h"
#include "run/Run.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries Read(std::string_view rules, std::string_view section) {
  Entries out;
  for (const CRulesEntry& entry : ReadRulesSection(rules, section)) {
    out.emplace_back(entry.key, entry.value);
  }
  return out;
}

constexpr std::string_view kRules =
    "version: 1\r\n"
    "first:\r\n"
    " a: 1\r\n"
    "second: own value\r\n"
    " ; a comment\r\n"
    "; another comment\r\n"
    "\r\n"
    " key[x]: value with trailing blank \r\n"
    " escaped: line\\r\\nbreak and \\\\ one backslash\r\n"
    " no colon here\r\n"
    "  indented: twice\r\n"
    " empty: \r\n"
    " key[x]: a second copy\r\n"
    "third:\r\n"
    " b: 2\r\n"
    "end-of-rules\r\n";

TEST(RulesSectionTest, EntriesInFileOrder) {
  EXPECT_EQ(Read(kRules, "second"), (Entries{{"key[x]", "value with trailing blank "},
                                             {"escaped", "line\r\nbreak and \\ one backslash"},
                                             {" indented", "twice"},
                                             {"empty", ""},
                                             {"key[x]", "a second copy"}}));
  EXPECT_EQ(Read(kRules, "first"), (Entries{{"a", "1"}}));
  EXPECT_EQ(Read(kRules, "third"), (Entries{{"b", "2"}}));
}

TEST(RulesSectionTest, MissingSectionsAndTheFirstLine) {
  EXPECT_TRUE(Read(kRules, "fourth").empty());
  EXPECT_TRUE(Read(kRules, "secon").empty());
  // The first line is read only through its marker, as LookupRule reads it.
  EXPECT_TRUE(Read("odp:\r\n a: 1\r\nend-of-rules\r\n", "odp").empty());
  // Bare LF line ends: no section can be found.
  EXPECT_TRUE(Read("version: 1\nodp:\n a: 1\nend-of-rules\n", "odp").empty());
  // The last line of a text without a final line end still belongs to the section.
  EXPECT_EQ(Read("version: 1\r\nodp:\r\n a: 1", "odp"), (Entries{{"a", "1"}}));
}

// Every key of every section of the built-in rules agrees with LookupRule's value (the
// bracketed variables aside, which only LookupRule substitutes).
TEST(RulesSectionTest, AgreesWithLookupRuleOnTheBuiltInRules) {
  CTestApp app;
  for (const char* section :
       {"location", "validate", "masterlist", "fetch1", "fetch2", "fetch3", "odp"}) {
    const std::vector<CRulesEntry> entries = ReadRulesSection(app->Rules().text, section);
    EXPECT_FALSE(entries.empty()) << section;
    for (const CRulesEntry& entry : entries) {
      if (entry.value.find('[') != std::string::npos) continue;
      EXPECT_EQ(entry.value, LookupRule(*app, section, entry.key)) << section << " " << entry.key;
    }
  }
}

}  // namespace
}  // namespace larkspire
