#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ReplyReader.h"

namespace larkspire {
namespace {

using Progress = CReplyReader::Progress;

// Feeds the reply in pieces of the given size; returns the progress after the last piece fed
// and how many bytes had been fed when the reply ended (the whole length when it did not).
std::pair<Progress, std::size_t> Feed(const std::string& reply, std::size_t piece,
                                      std::size_t max_bytes = kMaxReplyBytes) {
  CReplyReader reader(max_bytes);
  Progress progress = Progress::kMore;
  std::size_t fed = 0;
  while (fed < reply.size() && progress == Progress::kMore) {
    const std::size_t take = std::min(piece, reply.size() - fed);
    progress = reader.Add(std::string_view(reply).substr(fed, take));
    fed += take;
  }
  return {progress, fed};
}

TEST(ReplyReader, AReplyEndsWithItsFirstLineThatAnnouncesNoOther) {
  const struct {
    std::string reply;
    bool complete;
  } cases[] = {
      {"", false},
      {"250 ok", false},
      {"250 ok\r\n", true},
      {"250-a\r\n250-b\r\n", false},
      {"250-a\r\n250-b\r\n250 c\r\n", true},
      // Lines too short to carry a fourth character end the reply, as does garbage.
      {"250-a\r\n-\n", true},
      {"\n", true},
      {std::string("25\0 x\n", 6), true},
      {std::string("25\0-x\n", 6), false},
  };
  for (const auto& c : cases) {
    const Progress expected = c.complete ? Progress::kComplete : Progress::kMore;
    // Whole, in two pieces and byte by byte, the reply ends in the same place.
    for (std::size_t piece :
         {std::max<std::size_t>(c.reply.size(), 1), std::size_t{5}, std::size_t{1}}) {
      EXPECT_EQ(Feed(c.reply, piece).first, expected) << c.reply << " piece " << piece;
    }
  }
}

TEST(ReplyReader, ArrivingByteByByteItEndsAtTheLineFeedOfTheFinalLine) {
  const std::string reply = "250-a\r\n250-b\r\n250 c\r\n";
  EXPECT_EQ(Feed(reply + "trailing", 1), std::make_pair(Progress::kComplete, reply.size()));
  CReplyReader reader;
  EXPECT_EQ(reader.Add(reply), Progress::kComplete);
  EXPECT_EQ(reader.Text(), reply);
  EXPECT_EQ(reader.Code(), 250);
}

TEST(ReplyReader, CodeIsTheLeadingNumberOfTheFirstLine) {
  EXPECT_EQ(ReplyCode("250 ok"), 250);
  EXPECT_EQ(ReplyCode("x250"), -1);
  EXPECT_EQ(ReplyCode(""), -1);
  EXPECT_EQ(ReplyCode("99999999999999999999 big"), 999999999);
}

// A server that sends "250-" lines, or one line, without end must not take all memory.
TEST(ReplyReader, AReplyPastItsCapIsRefusedAndNotKept) {
  const std::string final_line = "250 ok\r\n";
  const std::string continuation = "250-" + std::string(58, 'x') + "\r\n";  // 64 bytes
  std::string lines;
  while (lines.size() + 2 * continuation.size() <= kMaxReplyBytes) lines += continuation;
  const std::size_t pad = kMaxReplyBytes - lines.size() - final_line.size() - 6;
  const std::string at_cap = lines + "250-" + std::string(pad, 'y') + "\r\n" + final_line;
  ASSERT_EQ(at_cap.size(), kMaxReplyBytes);

  const struct {
    std::string reply;
    Progress progress;
  } cases[] = {
      {at_cap, Progress::kComplete},
      {lines + continuation + continuation, Progress::kTooLong},
      {std::string(kMaxReplyBytes + 1, '2'), Progress::kTooLong},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {std::size_t{4091}, std::size_t{1000}, std::size_t{7}}) {
      EXPECT_EQ(Feed(c.reply, piece).first, c.progress) << c.reply.size() << " by " << piece;
    }
  }
  CReplyReader reader(10);
  EXPECT_EQ(reader.Add("250-abcd"), Progress::kMore);
  EXPECT_EQ(reader.Add("\r\n2"), Progress::kTooLong);
  EXPECT_EQ(reader.Text(), "250-abcd");
}

}  // namespace
}  // namespace larkspire
