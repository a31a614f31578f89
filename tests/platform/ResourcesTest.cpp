#include <gtest/gtest.h>

#include <string>

#include "platform/Resources.h"

namespace larkspire {
namespace {

TEST(ResourcesTest, TypeIgnoresCaseNameIsTheNumber) {
  std::optional<std::string_view> upper = FindResource("TEMPLATEFILE", "11");
  ASSERT_TRUE(upper.has_value());
  EXPECT_EQ(FindResource("TemplateFile", 11), upper);
  EXPECT_EQ(FindResource("templatefile", 11), upper);
  for (int n = 1; n <= 14; ++n) EXPECT_TRUE(FindResource("TemplateFile", n).has_value()) << n;
  EXPECT_FALSE(FindResource("TemplateFile", 0).has_value());
  EXPECT_FALSE(FindResource("TemplateFile", 15).has_value());
  EXPECT_FALSE(FindResource("TemplateFil", 1).has_value());
  EXPECT_FALSE(FindResource("TemplateFile", "011").has_value());
}

TEST(ResourcesTest, TextResourcesAreEmbeddedWithCrLf) {
  const std::string_view rules = *FindResource("TemplateFile", 11);
  EXPECT_TRUE(rules.starts_with("version: 4.2.04.000\r\n"));
  EXPECT_TRUE(rules.ends_with("\r\nend-of-rules\r\n"));
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (rules[i] == '\n') {
      ASSERT_TRUE(i > 0 && rules[i - 1] == '\r') << "LF alone at " << i;
    }
    if (rules[i] == '\r') {
      ASSERT_TRUE(i + 1 < rules.size() && rules[i + 1] == '\n') << "CR alone at " << i;
    }
  }
}

}  // namespace
}  // namespace larkspire
