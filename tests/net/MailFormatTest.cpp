#include <gtest/gtest.h>

#include "net/MailFormat.h"
#include "support/ScopedTimeZone.h"

namespace larkspire {
namespace {

TEST(SplitAddressList, SplitsAtCommasAndSkipsParenthesisedNames) {
  const struct {
    std::string list;
    std::vector<std::string> addresses;
  } cases[] = {
      {"", {}},
      {"a@x.example", {"a@x.example"}},
      {"a@x.example, b@y.example (Bee Name)", {"a@x.example", "b@y.example"}},
      {"a@x.example (Ann, Sales), b@y.example", {"a@x.example", "b@y.example"}},
      {"a@x.example \t,\t b@y.example  ", {"a@x.example", "b@y.example"}},
      {"a@x.example, ", {"a@x.example"}},
      {"a@x.example (unclosed, b@y.example", {"a@x.example"}},
      {"a@x.example (name) b@y.example", {"a@x.example"}},
      {"Ann <a@x.example>, b@y.example", {"Ann <a@x.example>", "b@y.example"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitAddressList(c.list), c.addresses) << c.list;
}

TEST(BracketAddress, BracketsBareAddressesAndKeepsOnlyTheBracketedPart) {
  EXPECT_EQ(BracketAddress("a@x.example"), "<a@x.example>");
  EXPECT_EQ(BracketAddress(""), "<>");
  EXPECT_EQ(BracketAddress("<a@x.example>"), "<a@x.example>");
  EXPECT_EQ(BracketAddress("Ann Smith <a@x.example>"), "<a@x.example>");
  EXPECT_EQ(BracketAddress("Ann <a@x.example> (sales)"), "<a@x.example>");
  EXPECT_EQ(BracketAddress("Ann <a@x.example"), "<a@x.example");
}

// A server may end a line at a bare CR or a bare LF as well as at CR LF; each becomes CR LF
// before the dots are doubled, so no line of the message can pass for the end of the data.
TEST(DotStuff, MakesEveryLineEndCrLfAndDoublesEachDotThatStartsALine) {
  const struct {
    std::string text;
    std::string sent;
  } cases[] = {
      {"Subject: s\r\n\r\n.hidden\r\n", "Subject: s\r\n\r\n..hidden\r\n"},
      {".first", "..first"},
      {"a\n.bare", "a\r\n..bare"},
      {"a\r\r\n.crcr", "a\r\n\r\n..crcr"},
      {"a\r\n..two\r\n.", "a\r\n...two\r\n.."},
      {"a.b\r\n x.", "a.b\r\n x."},
      {"a\r.cr-only", "a\r\n..cr-only"},
      {"a\n\r.lf-cr", "a\r\n\r\n..lf-cr"},
      {"\r\n.\r\n", "\r\n..\r\n"},
      {"\r", "\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DotStuff(c.text), c.sent) << c.text;
}

TEST(FormatDateLine, WritesLocalTimeWithTheZoneOffsetSignedAsAWhole) {
  const int64_t noon_utc = 1796817600;  // Wed 2026-12-09 12:00:00 UTC
  const struct {
    const char* zone;
    const char* line;
  } cases[] = {
      {"NST3:30", "Date: Wed, 09 Dec 2026 08:30:00 -0330\r\n"},
      {"IST-5:30", "Date: Wed, 09 Dec 2026 17:30:00 +0530\r\n"},
      {"EST5", "Date: Wed, 09 Dec 2026 07:00:00 -0500\r\n"},
      {"XST0:30", "Date: Wed, 09 Dec 2026 11:30:00 -0030\r\n"},
      {"XST-14", "Date: Thu, 10 Dec 2026 02:00:00 +1400\r\n"},
      {"UTC0", "Date: Wed, 09 Dec 2026 12:00:00 +0000\r\n"},
  };
  for (const auto& c : cases) {
    CScopedTimeZone zone(c.zone);
    EXPECT_EQ(FormatDateLine(noon_utc), c.line) << c.zone;
  }
}

TEST(FormatDateLine, FollowsDaylightSavingTime) {
  // US Eastern rules: -0500 in winter, -0400 in summer.
  CScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(FormatDateLine(1796817600), "Date: Wed, 09 Dec 2026 07:00:00 -0500\r\n");
  EXPECT_EQ(FormatDateLine(1783598400), "Date: Thu, 09 Jul 2026 08:00:00 -0400\r\n");
}

}  // namespace
}  // namespace larkspire
