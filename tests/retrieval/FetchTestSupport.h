// Page fixtures and a rules-text editor shared by the entry-fetch and master-list tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/Files.h"
#include "rules/PageText.h"

namespace larkspire {

inline std::string ReadFixture(const std::string& relative_path) {
  std::string text;
  EXPECT_TRUE(ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/" + relative_path, text))
      << relative_path;
  return text;
}

// The text with its first occurrence of find replaced; the test fails when find is missing,
// so a fixture edit that no longer applies cannot pass silently.
inline std::string ReplaceOnce(std::string text, std::string_view find,
                               std::string_view replacement) {
  const std::size_t pos = text.find(find);
  EXPECT_NE(pos, std::string::npos) << "missing: " << find;
  if (pos != std::string::npos) text.replace(pos, find.size(), replacement);
  return text;
}

}  // namespace larkspire
