#include <gtest/gtest.h>

#include "entries/TabFields.h"

namespace larkspire {
namespace {

TEST(TabFieldsTest, EveryByteComesBackAndNoneEndsAFieldOrALine) {
  std::string every_byte;
  for (int c = 0; c < 256; ++c) every_byte += static_cast<char>(c);
  for (const std::string& value : {std::string(), std::string("R&D-1\tx\r\ny\\"), every_byte}) {
    const std::string escaped = Escaped(value);
    EXPECT_EQ(escaped.find_first_of("\t\r\n"), std::string::npos);
    EXPECT_EQ(Unescaped(escaped), value);
  }
  EXPECT_EQ(Escaped("a\\b\tc\x01"), "a\\\\b\\tc\\x01");
}

TEST(TabFieldsTest, ABrokenEscapeIsRefused) {
  for (const char* broken : {"\\", "a\\q", "\\x4", "\\xg0"}) {
    EXPECT_EQ(Unescaped(broken), std::nullopt) << broken;
  }
  EXPECT_EQ(Unescaped("\\x4A\\x4a"), "JJ");
}

TEST(TabFieldsTest, SplitTabsKeepsEmptyFields) {
  EXPECT_EQ(SplitTabs(""), (std::vector<std::string_view>{""}));
  EXPECT_EQ(SplitTabs("a\t\tb\t"), (std::vector<std::string_view>{"a", "", "b", ""}));
}

}  // namespace
}  // namespace larkspire
