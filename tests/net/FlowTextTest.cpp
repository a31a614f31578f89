#include <gtest/gtest.h>

#include <regex>

#include "net/FlowLog.h"
#include "net/FlowText.h"

namespace larkspire {
namespace {

TEST(EscapeFlowText, ShortensLongTextsToTheirEndsBeforeEscaping) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += static_cast<char>('A' + i % 26);
  text[0] = '\n';  // escaped after the cut, so it still takes one of the 40 places
  const std::string expected = "\\n" + text.substr(1, 39) + "..." + text.substr(60);
  EXPECT_EQ(EscapeFlowText(text), expected);
}

TEST(EscapeFlowText, KeepsEightyCharactersWhole) {
  const std::string text(80, 'x');
  EXPECT_EQ(EscapeFlowText(text), text);
  EXPECT_EQ(EscapeFlowText(text + "y"), std::string(40, 'x') + "..." + std::string(39, 'x') + "y");
}

TEST(EscapeFlowText, MakesControlBytesVisible) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"250 OK\r\n", "250 OK\\r\\n"},
      {"a\\b", "a\\\\b"},
      {"\t", "\\0x09"},
      {std::string("\0\x1f", 2), "\\0x00\\0x1f"},
      {"\x7f\x80\xae\xff ", "\x7f\x80\xae\xff "},
  };
  for (const auto& c : cases) EXPECT_EQ(EscapeFlowText(c.text), c.shown) << c.shown;
}

TEST(FlowLog, PrefixIsSecondsModuloThousandAndHundredths) {
  EXPECT_EQ(CFlowLog::Prefix(1234567), "234.56 ");
  EXPECT_EQ(CFlowLog::Prefix(5), "000.00 ");
  EXPECT_EQ(CFlowLog::Prefix(999999), "999.99 ");
  EXPECT_EQ(CFlowLog::Prefix(1000000), "000.00 ");
}

TEST(FlowLog, KeepsLinesOnlyWhileEnabledWithActivityAndCrLf) {
  CFlowLog log;
  log.Write("dropped", kFlowStatus);
  EXPECT_TRUE(log.Drain().empty());
  log.SetEnabled(true);
  log.Write("HttpGet(0): Connected", kFlowReceived);
  log.Write("SendMail: Sent", kFlowStatus);
  const std::vector<FlowLine> lines = log.Drain();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].activity, kFlowReceived);
  EXPECT_TRUE(std::regex_match(lines[0].text, std::regex("[0-9]{3}\\.[0-9]{2} HttpGet\\(0\\): "
                                                         "Connected\r\n")))
      << lines[0].text;
  EXPECT_EQ(lines[1].activity, kFlowStatus);
  EXPECT_TRUE(log.Drain().empty());
}

}  // namespace
}  // namespace larkspire
