// The section index must find exactly what a search of the whole text finds, for any text and
// any name, and must notice a text changed in place.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "rules/PageText.h"
#include "rules/SectionIndex.h"
#include "support/RandomText.h"

namespace larkspire {
namespace {

std::size_t Searched(std::string_view text, const std::string& section) {
  return FindBytes(text, "\r\n" + section + ":");
}

TEST(SectionIndexTest, FindsWhatASearchFindsInRandomTexts) {
  CRandomText random(20261211);
  std::mt19937 engine(7);
  CSectionIndex index;
  const std::vector<std::string> fixed = {"",   "a",   "b",  "ab",  "x",       " k", "Status",
                                          "a:", "a\r", "\n", "a b", "AppNum2", "k"};
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random.Next(60);
    std::vector<std::string> sections = fixed;
    // Names taken from the text itself, so that most of them are there.
    for (int n = 0; n < 4 && !text.empty(); ++n) {
      std::uniform_int_distribution<std::size_t> at(0, text.size() - 1);
      const std::size_t start = at(engine);
      sections.push_back(
          text.substr(start, std::uniform_int_distribution<std::size_t>(0, 8)(engine)));
    }
    for (const std::string& section : sections) {
      ASSERT_EQ(index.Find(text, section), Searched(text, section))
          << "text: " << ::testing::PrintToString(text)
          << " section: " << ::testing::PrintToString(section);
    }
  }
}

TEST(SectionIndexTest, ATextChangedInPlaceAtTheSameLengthIsIndexedAnew) {
  CSectionIndex index;
  std::string text = "version: 1\r\nfetch1: a\r\nfetch2: b\r\n";
  EXPECT_EQ(index.Find(text, "fetch2"), text.find("\r\nfetch2:"));
  text.replace(text.find("fetch1"), 6, "fetch2");  // same buffer, same length
  EXPECT_EQ(index.Find(text, "fetch2"), text.find("\r\nfetch2:"));
  EXPECT_EQ(index.Find(text, "fetch1"), std::string::npos);
}

}  // namespace
}  // namespace larkspire
