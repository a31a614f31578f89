// The digest's items, composition and splitting.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "docket/Deadline.h"
#include "notify/DigestCompose.h"
#include "notify/DigestItem.h"
#include "rules/Dates.h"
#include "support/MultipartReader.h"

namespace larkspire {
namespace {

CDigestItem Change(std::string reference, std::string number, std::vector<CDigestField> fields) {
  return {DigestItemKind::kChange, std::move(reference), std::move(number), std::move(fields), ""};
}
CDigestItem Failed(std::string reference, std::string number, std::string why) {
  return {DigestItemKind::kFailed, std::move(reference), std::move(number), {}, std::move(why)};
}
CDigestItem Added(std::string reference, std::string number) {
  return {DigestItemKind::kNew, std::move(reference), std::move(number), {}, ""};
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

TEST(DigestItem, ItemsReadBackWhateverTheirValuesHold) {
  const CDigestItem items[] = {
      Change("R&D-1", "10/123,456", {{"Status", "Allowed", "Docketed"}, {"Location", "", "1600"}}),
      Change("tab\there", "back\\slash", {{"Status", "line\r\nbreak", "\\t not a tab"}}),
      Failed("", "7123456", "HttpGet: The page is larger than 16 MB."),
      Added("Caf\xC3\xA9 \xAE", "US2005-0123456A1"),
  };
  for (const CDigestItem& item : items) {
    EXPECT_EQ(ParseDigestItem(FormatDigestItem(item)), item) << FormatDigestItem(item);
  }
}

TEST(DigestItem, DamagedFilesAreNoItems) {
  const std::string whole = FormatDigestItem(Change("R", "1", {{"Status", "a", "b"}}));
  const std::string damaged[] = {
      "",
      whole.substr(0, whole.size() - 1),  // cut short
      "Larkspire digest item 2\nkind\tnew\n",
      "Larkspire digest item 1\nreference\tR\n",  // no kind
      "Larkspire digest item 1\nkind\tweekly\n",
      "Larkspire digest item 1\nkind\tnew\nfield\tonly two\tvalues\n",
      "Larkspire digest item 1\nkind\tnew\nreference\tbad \\x escape\n",
      "Larkspire digest item 1\nkind\tnew\nkind\tchange\n",
  };
  for (const std::string& text : damaged) EXPECT_EQ(ParseDigestItem(text), std::nullopt) << text;
}

TEST(DigestCompose, DeadlinesOfTheNextFourteenDaysEarliestFirst) {
  const int32_t today = *DayNumberFromCalendar(2027, 3, 1);
  const struct {
    int offset;
    bool listed;
  } cases[] = {{-1, false}, {0, true}, {14, true}, {15, false}, {7, true}, {200, false}};
  std::vector<CDeadline> deadlines;
  for (const auto& c : cases) {
    CDeadline deadline;
    deadline.due = today + c.offset;
    deadline.what = "due at " + std::to_string(c.offset);
    deadline.entry_key = std::to_string(c.offset);
    deadlines.push_back(deadline);
  }
  std::vector<const CDeadline*> open;
  for (const CDeadline& deadline : deadlines) open.push_back(&deadline);
  std::vector<int32_t> expected;
  for (const auto& c : cases) {
    if (c.listed) expected.push_back(today + c.offset);
  }
  std::sort(expected.begin(), expected.end());
  std::vector<int32_t> listed;
  for (const CDigestDeadline& deadline : DigestDeadlines(open, today))
    listed.push_back(deadline.due);
  EXPECT_EQ(listed, expected);
}

TEST(DigestCompose, ChangesGroupByApplicationAndEveryValueIsEscapedInTheHtml) {
  CDigestContent content;
  content.org_name = "Smith & <Partners>";
  content.today = *DayNumberFromCalendar(2027, 3, 1);
  content.items = {
      Change("R&D-1", "10/123,456", {{"Status", "Final <rejection>", "Docketed"}}),
      Added("NEW-1", "11/000,001"),
      Change("B-2", "7123456", {{"Status", "Patented", "Allowed"}}),
      // The same application again (a later run before the digest went): one group.
      Change("R&D-1", "10/123,456", {{"Location", "\"1600\"", "O'Brien"}}),
      Failed("F-1", "10/999,999", "Rules file: odp <status> is longer than 64 KB"),
      Added("NEW-2", "11/000,002"),
  };
  content.deadlines = {{content.today + 3, "Reply to non-final rejection", "R&D-1", "10/123,456"}};
  const std::vector<std::string> messages = ComposeDigestMessages(content);
  ASSERT_EQ(messages.size(), 1u);
  std::optional<CReadMultipart> read = ReadMultipart(messages[0]);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->subject, "Digest for Smith & <Partners>, 2027-03-01: 2 changed, 1 failed, 2 new");
  const std::string& text = read->parts["text/plain"];
  const std::string& html = read->parts["text/html"];

  EXPECT_EQ(Count(text, "\r\nR&D-1, 10/123,456\r\n"), 1u) << text;
  const std::size_t group = text.find("R&D-1, 10/123,456\r\n");
  EXPECT_LT(text.find("Status: now \"Final <rejection>\", was \"Docketed\""),
            text.find("Location: now \"\"1600\"\", was \"O'Brien\""));
  EXPECT_LT(group, text.find("B-2, 7123456"));
  // Changes, deadlines, failures, new entries.
  EXPECT_LT(text.find("B-2, 7123456"), text.find("2027-03-04  Reply to non-final rejection"));
  EXPECT_LT(text.find("2027-03-04"), text.find("F-1, 10/999,999: Rules file"));
  EXPECT_LT(text.find("F-1, 10/999,999"), text.find("NEW-1, 11/000,001"));
  EXPECT_LT(text.find("NEW-1, 11/000,001"), text.find("NEW-2, 11/000,002"));

  for (const char* raw : {"<Partners>", "<rejection>", "<status>", "R&D", "O'Brien", "\"1600\""}) {
    EXPECT_EQ(html.find(raw), std::string::npos) << raw;
  }
  for (const char* escaped : {"Smith &amp; &lt;Partners&gt;", "Final &lt;rejection&gt;",
                              "<td>R&amp;D-1</td>", "O&#39;Brien", "&quot;1600&quot;"}) {
    EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
  }
  EXPECT_EQ(Count(html, "<table"), 4u);
  EXPECT_EQ(Count(html, "<th colspan=\"3\" align=\"left\">R&amp;D-1, 10/123,456</th>"), 1u);
}

TEST(DigestCompose, NothingToTellIsNoDigest) {
  CDigestContent content;
  content.deadlines = {{1, "Issue fee", "R", "1"}};
  EXPECT_TRUE(ComposeDigestMessages(content).empty());
}

// A digest over the limit goes in whole parts: none over the limit, each application's changes
// in one part, every item in exactly one part, the deadlines in the first.
TEST(DigestCompose, SplitPartsStayUnderTheLimitAndCutNothing) {
  const struct {
    int applications;
    std::size_t value_bytes;
    std::size_t limit;
    bool eight_bit;
  } cases[] = {
      {3, 10, 5 * 1024 * 1024, false},                               // one part
      {40, 2000, 64 * 1024, false},    {40, 2000, 64 * 1024, true},  // base64 parts
      {200, 300, 32 * 1024, false},    {7, 4000, 40 * 1024, true},
  };
  for (const auto& c : cases) {
    CDigestContent content;
    content.org_name = "Office";
    content.today = *DayNumberFromCalendar(2027, 3, 1);
    content.deadlines = {{content.today + 1, "Issue fee", "DL-REF", "DL-NUM"}};
    const std::string filler(c.value_bytes, c.eight_bit ? '\xE9' : 'v');
    for (int k = 0; k < c.applications; ++k) {
      const std::string number = "APP" + std::to_string(k) + "#";
      content.items.push_back(
          Change("R" + std::to_string(k), number, {{"Status", "now" + filler, "was"}}));
      if (k % 5 == 0)
        content.items.push_back(Failed("F", "FAIL" + std::to_string(k) + "#", filler));
      if (k % 7 == 0) content.items.push_back(Added("N", "NEW" + std::to_string(k) + "#"));
      content.items.push_back(
          Change("R" + std::to_string(k), number, {{"Location", "second" + filler, ""}}));
    }
    const std::vector<std::string> messages = ComposeDigestMessages(content, c.limit);
    const std::size_t parts = messages.size();
    EXPECT_EQ(parts > 1, c.limit < 1024 * 1024) << c.applications;
    std::map<std::string, int> seen;
    for (std::size_t p = 0; p < parts; ++p) {
      EXPECT_LE(messages[p].size(), c.limit);
      std::optional<CReadMultipart> read = ReadMultipart(messages[p]);
      ASSERT_TRUE(read.has_value());
      if (parts > 1) {
        EXPECT_TRUE(read->subject.ends_with(" (part " + std::to_string(p + 1) + " of " +
                                            std::to_string(parts) + ")"))
            << read->subject;
      }
      const std::string& text = read->parts["text/plain"];
      EXPECT_EQ(text.find("DL-NUM") != std::string::npos, p == 0);
      for (int k = 0; k < c.applications; ++k) {
        const std::string number = "APP" + std::to_string(k) + "#";
        if (text.find(number) == std::string::npos) continue;
        ++seen[number];
        // Both changes of the application in the part that holds it.
        EXPECT_NE(text.find("R" + std::to_string(k) + ", " + number + "\r\n  Status: now \"now" +
                            filler + "\", was \"was\"\r\n  Location: now \"second"),
                  std::string::npos);
        EXPECT_NE(read->parts["text/html"].find(number), std::string::npos);
      }
      for (const char* prefix : {"FAIL", "NEW"}) {
        for (int k = 0; k < c.applications; ++k) {
          const std::string number = prefix + std::to_string(k) + "#";
          seen[number] += static_cast<int>(Count(text, number));
        }
      }
    }
    for (int k = 0; k < c.applications; ++k) {
      EXPECT_EQ(seen["APP" + std::to_string(k) + "#"], 1) << k;
      EXPECT_EQ(seen["FAIL" + std::to_string(k) + "#"], k % 5 == 0 ? 1 : 0) << k;
      EXPECT_EQ(seen["NEW" + std::to_string(k) + "#"], k % 7 == 0 ? 1 : 0) << k;
    }
  }
}

}  // namespace
}  // namespace larkspire
