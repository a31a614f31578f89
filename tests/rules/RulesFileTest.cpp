#include <gtest/gtest.h>

#include <string>

#include "platform/Files.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "support/RandomText.h"
#include "support/TestRules.h"

namespace larkspire {
namespace {

std::string BuiltInRules() { return ChooseRulesText(""); }

TEST(BuiltInRulesFileTest, IsCompleteAndVersioned) {
  const std::string rules = BuiltInRules();
  EXPECT_TRUE(IsAcceptableRulesText(rules));
  EXPECT_EQ(ValueAfterMarker(rules, kVersionMarker), "4.2.04.000");
  EXPECT_TRUE(rules.ends_with("\r\nend-of-rules\r\n"));
  EXPECT_EQ(FromTextMode(rules).find('\r'), std::string::npos) << "every CR starts a CR LF";
  EXPECT_EQ(ToTextMode(FromTextMode(rules)), rules) << "every LF ends a CR LF";
}

TEST(ValueAfterMarkerTest, RestOfTheLineTrimmed) {
  const struct {
    const char* text;
    const char* marker;
    const char* value;
  } cases[] = {
      {"version: 4.2.04.000\r\nx", "version: ", "4.2.04.000"},
      {"version:    4.2.04.000  \nx", "version: ", "4.2.04.000"},
      {"a\r\nVERSION: 1.0\r\n", "version: ", "1.0"},
      {"a version: 2\r\nversion: 3\r\n", "version: ", "2"},
      {"version: 4.2.04.000", "version: ", ""},  // no line end
      {"version: -\r\n", "version: ", ""},
      {"version: \r\n", "version: ", ""},
      {"versio: 1\r\n", "version: ", ""},
      {"", "version: ", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueAfterMarker(c.text, c.marker), c.value) << c.text;
  }
}

class LookupRuleTest : public ::testing::Test {
 protected:
  CTestRules rules_;
};

TEST_F(LookupRuleTest, BuiltInKeysStayInTheirSections) {
  EXPECT_EQ(LookupRule(rules_.View(), "fetch1", "none"), "");
  EXPECT_EQ(LookupRule(rules_.View(), "fetch2", "none"), "<h4><font>No Foreign");
  EXPECT_EQ(LookupRule(rules_.View(), "fetch3", "none"),
            "Continuity data found for the application number");
  EXPECT_EQ(LookupRule(rules_.View(), "fetch1", "required"), "Customer Number:");
  EXPECT_EQ(LookupRule(rules_.View(), "fetch1", "required[AppNum]"),
            "Sorry, the entered Application Number \"");
  EXPECT_EQ(LookupRule(rules_.View(), "masterlist", "missing"),
            "Sorry, there are no applications associated with customer number ");
  EXPECT_EQ(LookupRule(rules_.View(), "fetch1", "[AppNum]"),
            "<td>Application Number:[-]<td>[*]</td>");
  EXPECT_EQ(LookupRule(rules_.View(), "fetch1", "none[LastHistory]"),
            " - ==????-??-?? - Not found in the PAIR database.");
  EXPECT_EQ(LookupRule(rules_.View(), "masterlist", "table"),
            "<td><a>Application[-]<tr>[*#</td></tr>=|#</td>=`]</td></tr></table>");
  EXPECT_EQ(LookupRule(rules_.View(), "location", "rules"),
            "http://www.larkspire.example/support/larkspire.txt");
  EXPECT_EQ(LookupRule(rules_.View(), "validate", "explain3"), "!You need to start USPTO/Direct.");
  EXPECT_EQ(LookupRule(rules_.View(), "validate", "error5"), "");
  EXPECT_EQ(LookupRule(rules_.View(), "masterlist", "column5"), "");
  EXPECT_EQ(LookupRule(rules_.View(), "nosection", "page"), "");
  // The header lines carry no value of their own.
  EXPECT_EQ(LookupRule(rules_.View(), "fetch1", std::nullopt), "");
}

TEST_F(LookupRuleTest, SectionBodiesKeysEscapesAndReferences) {
  rules_.text =
      "version: 1.0\r\n"
      "first: own value\r\n"
      " key: one\r\n"
      "; a comment inside the section\r\n"
      " ; an indented comment\r\n"
      "\r\n"
      " after-empty: still first\r\n"
      "\r\n"
      "second:\r\n"
      " only-second: two\r\n"
      "  two-blanks: no\r\n"
      " no-blank:x\r\n"
      " escapes: a\\r\\nb\\\\c\\\\\\\\d\r\n"
      " digits: [AppNum2#0=o]\r\n"
      " pieces: [AppNum2#0=o#o=0#1=]\r\n"
      " nopiece: [AppNum2#zero]\r\n"
      " patnum: n=[PatNum]&x\r\n"
      " tokens: a[-]b[*#x=y]c[--][*2' - ]\r\n"
      " escaped: x[[]y[]]z[AppName]\r\n"
      " unclosed: a[AppName\r\n"
      " nested: [Reference]\r\n"
      " trailing:  spaced  \r\n"
      "third:\r\n"
      " last: cut";
  rules_.variables = {{"AppNum2", "10200301"},
                      {"PatNum", "-"},
                      {"AppName", "Larkspire"},
                      {"Reference", "[AppName]"}};

  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"first", "key", "one"},
      {"first", "after-empty", "still first"},
      // An empty line continues a section; the header after it starts a new one.
      {"first", "only-second", ""},
      {"second", "key", ""},
      {"second", "only-second", "two"},
      {"second", "two-blanks", ""},
      {"second", " two-blanks", "no"},
      {"second", "no-blank", ""},
      {"second", "escapes", "a\r\nb\\c\\\\d"},
      {"second", "digits", "1o2oo3o1"},
      {"second", "pieces", "020030"},
      {"second", "nopiece", "10200301"},
      {"second", "patnum", "n=-&x"},
      {"second", "tokens", "a[-]b[*#x=y]c[--][*2' - ]"},
      {"second", "escaped", "x[[]y[]]zLarkspire"},
      {"second", "unclosed", "a[AppName"},
      // Inserted text is not substituted again.
      {"second", "nested", "[AppName]"},
      {"second", "trailing", " spaced  "},
      // A text cut in the middle of its last line.
      {"third", "last", "cut"},
      {"version", "x", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LookupRule(rules_.View(), c.section, c.key), c.value) << c.section << "/" << c.key;
  }
  EXPECT_EQ(LookupRule(rules_.View(), "first", std::nullopt), " own value");
  EXPECT_EQ(LookupRule(rules_.View(), "third", std::nullopt), "");
}

// "#find=replace" pieces can double a value at each piece: a few hundred bytes of rules would
// ask for hundreds of megabytes. A value past 64 KB is not given; the lookup says why.
TEST_F(LookupRuleTest, ValuesPastSixtyFourKilobytesAreRefusedAndReported) {
  std::string doubling = "[AppNum2";
  for (int i = 0; i < 22; ++i) doubling += "#1=11";
  doubling += "]";
  rules_.text = "version: 1\r\ns:\r\n big: " + doubling + "\r\n at-cap: x[Fill]\r\n" +
                " literal: " + std::string(kMaxRuleValueBytes + 1, 'l') + "\r\n";
  rules_.variables = {{"AppNum2", "10200301"}};
  const struct {
    const char* key;
    std::size_t fill;
    std::size_t size;  // 0: refused
  } cases[] = {
      {"big", 0, 0},
      {"at-cap", kMaxRuleValueBytes - 1, kMaxRuleValueBytes},
      {"at-cap", kMaxRuleValueBytes, 0},
      {"literal", 0, 0},
  };
  for (const auto& c : cases) {
    rules_.variables["Fill"] = std::string(c.fill, 'f');
    rules_.reported.clear();
    const std::string value = LookupRule(rules_.View(), "s", c.key);
    EXPECT_EQ(value.size(), c.size) << c.key << " " << c.fill;
    if (c.size == 0) {
      EXPECT_EQ(rules_.reported, std::vector<std::string>{RuleTooLongMessage("s", c.key)});
    } else {
      EXPECT_TRUE(rules_.reported.empty());
    }
  }
  EXPECT_EQ(RuleTooLongMessage("fetch1", "page[AppNum]"),
            "Rules file: fetch1 page[AppNum] is longer than 64 KB with its references filled in.");
}

TEST_F(LookupRuleTest, EmptyLineBeforeAHeaderEndsTheSectionAboveIt) {
  // Without the empty-line rule the header of "b" would join section "a", and a key missing
  // from "a" would be found in "b".
  rules_.text =
      "version: 1\r\na:\r\n k: 1\r\n\r\nb:\r\n j: 2\r\n\r\n\r\n k2: 3\r\nend-of-rules\r\n";
  EXPECT_EQ(LookupRule(rules_.View(), "a", "j"), "");
  EXPECT_EQ(LookupRule(rules_.View(), "b", "j"), "2");
  EXPECT_EQ(LookupRule(rules_.View(), "b", "k2"), "3");
}

TEST_F(LookupRuleTest, ArbitraryRulesTextsEndQuietly) {
  CRandomText random(4242);
  rules_.variables = {{"AppNum2", "08123456"}};
  for (int i = 0; i < 3000; ++i) {
    rules_.text = "version: 1\r\n" + random.Next(40);
    const std::string key = random.Next(3);
    const std::string value = LookupRule(rules_.View(), "x", key);
    if (rules_.text.find("\r\nx:") == std::string::npos) {
      EXPECT_EQ(value, "");
    }
    EXPECT_EQ(LookupRule(rules_.View(), "x", key), value);
    LookupRule(rules_.View(), "x", std::nullopt);
    ValueAfterMarker(rules_.text, key);
  }
}

}  // namespace
}  // namespace larkspire
