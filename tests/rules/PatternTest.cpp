#include <gtest/gtest.h>

#include <string>

#include "platform/Files.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"
#include "support/RandomText.h"
#include "support/TestRules.h"

namespace larkspire {
namespace {

std::string ReadPage(const std::string& name) {
  std::string raw;
  EXPECT_TRUE(ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/rules/" + name, raw)) << name;
  return NormalizePage(raw);
}

struct LiteralCase {
  const char* pattern;
  MatchDirection direction;
  const char* literal;
  const char* rest;
};

TEST(NextLiteralTest, TakesOneLiteralWithItsEscapes) {
  const LiteralCase cases[] = {
      {"abc[-]def", MatchDirection::kForward, "abc", "-]def"},
      {"x[[]y[*]z", MatchDirection::kForward, "x[y", "*]z"},
      {"x[]]y", MatchDirection::kForward, "x]y", ""},
      {"[*]abc", MatchDirection::kForward, "", "*]abc"},
      {"", MatchDirection::kForward, "", ""},
      {"a</td><td>b[*]", MatchDirection::kForward, "a</td>\r\n<td>b", "*]"},
      {"abc[-]def", MatchDirection::kBackward, "def", "abc[-"},
      {"x[*]y[[]z", MatchDirection::kBackward, "y[z", "x[*"},
      {"x[-]y[]]z", MatchDirection::kBackward, "y]z", "x[-"},
      {"abc[*]", MatchDirection::kBackward, "", "abc[*"},
      {"<td>[*]:[-]</table></td>", MatchDirection::kBackward, "</table></td>", "<td>[*]:[-"},
      {"only", MatchDirection::kBackward, "only", ""},
  };
  for (const LiteralCase& c : cases) {
    std::string_view pattern = c.pattern;
    EXPECT_EQ(NextLiteral(pattern, c.direction), c.literal) << c.pattern;
    EXPECT_EQ(pattern, c.rest) << c.pattern;
  }
}

TEST(NextLiteralTest, BackwardLiteralsAreNormalisedInReadingOrder) {
  std::string_view pattern = "x[-]<td>a";
  EXPECT_EQ(NextLiteral(pattern, MatchDirection::kBackward), "\r\n<td>a");
}

struct ValueCase {
  const char* pattern;
  const char* page;
  const char* value;
};

TEST(ExtractValueTest, TokensSlotsAndModifiers) {
  const ValueCase cases[] = {
      // Literals only: found or not, nothing is captured.
      {"abc", "xxabcxx", ""},
      {"abc", "xxabxx", ""},
      // A leading token ends the match before any search.
      {"[*]abc", "zzabc", ""},
      // Two tokens in a row end the match after the first literal.
      {"a[-][*]b", "a1b", ""},
      // No literal after the capture: nothing is captured.
      {"a[*]", "a123", ""},
      {"a[*]b", "a123b", "123"},
      // "*0x": slot 1 with modifier "0x", which does nothing.
      {"a[*0x]b", "aQb", "Q"},
      // Slots join in number order, not pattern order.
      {"a[*2]b[*1]c", "aXbYc", "YX"},
      {"a[*#x=y#'!]b", "axxb", "yy!"},
      {"a[*#*]b", "aqb", "qq"},
      {"a[*' - ]b", "aqb", "q - "},
      {"a[*#mm?dd?yyyy]b", "a01-05-2007b", "2007-01-05"},
      {"a[*#dd?mm?yyyy]b", "a05.01.2007b", "2007-01-05"},
      {"a[*#mdy]b", "aJan 5, 2007b", "2007-01-05"},
      // A conversion replaces what came before it; later pieces work on the converted value.
      {"a[*#'x#mm?dd?yyyy#-=/]b", "a01-05-2007b", "2007/01/05"},
      // A replacement's find text is normalised like page text.
      {"a[*#</td><td>=,]b", "a1</td>\r\n<td>2b", "1,2"},
      // Matching is exact and case-sensitive.
      {"<TD>[*]</td>", "\r\n<td>v</td>", ""},
      {"<td>[*]</td>", "\r\n<td>v</td>", "v"},
      {"x[[]y[*]z", "x[yCAPz", "CAP"},
      {"x[]]y[*]z", "x]yCAPz", "CAP"},
      // A later token for the same slot wins.
      {"a[*]b[*]c", "a1b2c", "2"},
      {"a[*1]b[*2]c[*3]d[*4]e[*5]f[*6]g[*7]h[*8]i[*9]j", "a1b2c3d4e5f6g7h8i9j", "123456789"},
      // Literals are found at their first occurrence, and never searched before the position.
      {"b[*]b", "abcbdb", "c"},
      // Head and tail: the tail is read backwards within the region ending with its last literal.
      {"H[--]<[*]>!", "H<a><b>!x", "b"},
      {"H[--]<[*]>", "H<a><b>x", "a"},
      {"H[--]<[*]>[-]!", "H<a>!<b>!", "a"},
      {"H[--][*]", "Hxyz", ""},
      {"H[--]", "Hxyz", ""},
      // The tail's last literal missing after the head: nothing, though the head matched.
      {"a[*]b[--]c[*]d", "a1bc2", ""},
      {"a[*]b[--]c[*]d", "a1bc2d", "2"},
      {"a[*1]b[--]c[*2]d", "a1bc2d", "12"},
  };
  for (const ValueCase& c : cases) {
    EXPECT_EQ(ExtractValue(c.page, c.pattern), c.value) << c.pattern << " on " << c.page;
  }
}

TEST(MatchPatternTest, ReportsWhereTheMatchEnded) {
  CaptureSlots slots{};
  EXPECT_EQ(MatchPattern("a1b", "a[-][*]b", slots, MatchDirection::kForward), 1u);
  EXPECT_EQ(slots[0].text, "");
  EXPECT_EQ(slots[0].modifier, "");

  slots = {};
  EXPECT_EQ(MatchPattern("xa12by", "a[*3#'!]b", slots, MatchDirection::kForward), 5u);
  EXPECT_EQ(slots[2].text, "12");
  EXPECT_EQ(slots[2].modifier, "#'!");

  slots = {};
  EXPECT_EQ(MatchPattern("x:1:2:3", ":[*]:", slots, MatchDirection::kBackward), 3u);
  EXPECT_EQ(slots[0].text, "2");

  slots = {};
  EXPECT_EQ(MatchPattern("abc", "x", slots, MatchDirection::kBackward), std::nullopt);
  EXPECT_EQ(MatchPattern("abc", "", slots, MatchDirection::kForward), 0u);
  EXPECT_EQ(MatchPattern("abc", "", slots, MatchDirection::kBackward), 3u);
}

TEST(MatchPatternTest, CapturesPointIntoThePageWithoutCopies) {
  const std::string page = "\r\n<td>value</td>";
  CaptureSlots slots{};
  ASSERT_TRUE(MatchPattern(page, "<td>[*]</td>", slots, MatchDirection::kForward));
  EXPECT_EQ(slots[0].text.data(), page.data() + 6);
  EXPECT_EQ(slots[0].text.size(), 5u);
}

TEST(ExtractValueTest, MalformedPatternsEndQuietly) {
  const char* const patterns[] = {"a[*b", "a]b[",     "[[[",         "]]]",           "[",    "]",
                                  "[--]", "[--][--]", "a[--]b[--]c", "[-][*][--][*]", "a[*9", "a[*",
                                  "a[]b", "a[[b]c",   "[*]]",        "x[[]"};
  const std::string page = "a]b[[[x]]]ca[*b";
  for (const char* pattern : patterns) {
    EXPECT_EQ(ExtractValue(page, pattern), "") << pattern;
  }
}

class BuiltInRulesTest : public ::testing::Test {
 protected:
  CTestRules rules_;
};

// The worked examples, against the built-in rules and pages in the status site's own markup.
TEST_F(BuiltInRulesTest, StatusPageFields) {
  const std::string page = ReadPage("status-page.html");
  const std::pair<const char*, const char*> fields[] = {
      {"[AppNum]", "08/123,456"},
      {"[FilingDate]", "2007-01-05"},
      {"[IssueDate]", "2009-11-03"},
      {"[DocketNumber]", "HPL-0042 US"},
      {"[Examiner]", "SMITH, JOHN"},
      {"[ArtUnit]", "2161"},
      {"[PubNum]", "US 2007-0123456 A1"},
      {"[PubDate]", "2007-07-12"},
      {"[ConfirmNum]", "4321"},
      {"[PatNum]", "7,612,345"},
      {"[Class]", "707/003"},
      {"[Location]", "ELECTRONIC ABANDONMENT"},
      {"[Status]", "Patented Case"},
      // A lone "-" is nothing.
      {"[CustNum]", ""},
      {"[LastHistory]", "2007-01-05 - Mail Non-Final Rejection"},
  };
  for (const auto& [key, value] : fields) {
    EXPECT_EQ(ExtractField(rules_.View(), page, "fetch1", key), value) << key;
  }
}

TEST_F(BuiltInRulesTest, ForeignPriorityRowsAndCells) {
  // Rows end in "|" and cells in " , "; the line break before each row's first cell folds to
  // one blank after the "|".
  EXPECT_EQ(ExtractField(rules_.View(), ReadPage("foreign-priority.html"), "fetch2", "[Foreign]"),
            "DE 10 2004 , 2004-01-01| GB 0401234 , 2004-01-20");
}

TEST_F(BuiltInRulesTest, MasterListCountAndTable) {
  const std::string page = ReadPage("masterlist-result.html");
  // The number before the last ":" of the result table, though a status cell has a ":" too.
  EXPECT_EQ(ExtractField(rules_.View(), page, "masterlist", "count"), "2");
  EXPECT_EQ(ExtractField(rules_.View(), page, "masterlist", "table"),
            "10/987,654` ` 2005-0001234 A1` HPL-7` Pending: Docketed|"
            " 08/123,456` 7,612,345` ` HPL-0042` Patented Case| 2:12");
}

TEST_F(BuiltInRulesTest, RawValueKeepsTheMarkup) {
  const std::string page = ReadPage("status-page.html");
  EXPECT_EQ(ExtractField(rules_.View(), page, "fetch1", "[Examiner]", true), "SMITH, JOHN");
  EXPECT_EQ(ExtractField(rules_.View(), page, "fetch1", "[Location]", true),
            "ELECTRONIC   ABANDONMENT");
  EXPECT_EQ(ExtractField(rules_.View(), page, "fetch1", "[CustNum]", true), "-");
}

TEST_F(BuiltInRulesTest, PageWithoutTheLiteralsGivesNothing) {
  const std::string page = NormalizePage("<html><body><p>Service unavailable</p></body></html>");
  for (const char* key : {"[AppNum]", "[FilingDate]", "[LastHistory]", "[Status]"}) {
    EXPECT_EQ(ExtractField(rules_.View(), page, "fetch1", key), "") << key;
  }
  EXPECT_EQ(ExtractField(rules_.View(), page, "masterlist", "count"), "");
  EXPECT_EQ(ExtractField(rules_.View(), page, "fetch1", "no-such-key"), "");
}

class NoneRuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rules_.text =
        "version: 1\r\nx:\r\n"
        " [A]: a[*]b\r\n"
        " none[A]: N/A==unknown\r\n"
        " [D]: a[*#mm?dd?yyyy]b\r\n"
        " none[D]: ==never\r\n"
        " [E]: a[*]b\r\n"
        " none[E]: gone\r\n"
        " [L]: a[*]b\r\n"
        " none[L]:  - ==????-??-?? - Not found in the PAIR database.\r\n"
        "end-of-rules\r\n";
  }
  CTestRules rules_;
};

TEST_F(NoneRuleTest, SubstitutesOnlyAnExactMatch) {
  EXPECT_EQ(ExtractField(rules_.View(), "aN/Ab", "x", "[A]"), "unknown");
  EXPECT_EQ(ExtractField(rules_.View(), "a N/A b", "x", "[A]"), "unknown");  // after clean-up
  EXPECT_EQ(ExtractField(rules_.View(), "aN/A.b", "x", "[A]"), "N/A.");
  // An unreadable date is the unknown date, which becomes "" and then meets the rule.
  EXPECT_EQ(ExtractField(rules_.View(), "a b", "x", "[D]"), "never");
  EXPECT_EQ(ExtractField(rules_.View(), "a01-05-2007b", "x", "[D]"), "2007-01-05");
  // Without "==" the whole rule is the match text and the substitute is empty.
  EXPECT_EQ(ExtractField(rules_.View(), "agoneb", "x", "[E]"), "");
  // A cleaned value is never " - ", so the built-in kind of rule leaves values alone.
  EXPECT_EQ(ExtractField(rules_.View(), "a - b", "x", "[L]"), "");
  EXPECT_EQ(ExtractField(rules_.View(), "a - b", "x", "[L]", true),
            "????-??-?? - Not found in the PAIR database.");
}

TEST(ExtractValueRandomTest, ArbitraryPatternsAndPagesEndQuietly) {
  CRandomText random(20261209);
  for (int i = 0; i < 4000; ++i) {
    const std::string pattern = random.Next(12);
    const std::string page = random.Next(40);
    const std::string value = ExtractValue(page, pattern);
    // Only capture tokens put text into the value.
    if (pattern.find("[*") == std::string::npos) {
      EXPECT_EQ(value, "") << pattern;
    }
    EXPECT_EQ(ExtractValue(page, pattern), value);
  }
}

}  // namespace
}  // namespace larkspire
