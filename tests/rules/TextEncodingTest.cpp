#include <gtest/gtest.h>

#include <string>

#include "rules/TextEncoding.h"

namespace larkspire {
namespace {

TEST(TextEncoding, RecognisesWellFormedUtf8) {
  struct Case {
    const char* name;
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"empty", "", true},
      {"ASCII", "R&D-1, 10/123,456", true},
      {"e acute", "caf\xC3\xA9", true},
      {"euro sign, three bytes", "\xE2\x82\xAC", true},
      {"four bytes", "\xF0\x9F\x8C\xB8", true},
      {"Windows-1252 e acute", "caf\xE9", false},
      {"Windows-1252 registered sign", "Larkspire\xAE", false},
      {"lone continuation byte", "\x80", false},
      {"overlong slash", "\xC0\xAF", false},
      {"overlong three bytes", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false},
      {"cut short at the end", "caf\xC3", false},
      {"lead byte followed by ASCII",
       "\xC3"
       "A",
       false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.name;
}

TEST(TextEncoding, ConvertsWindows1252CharactersBothWays) {
  struct Case {
    const char* cp1252;
    const char* utf8;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"Larkspire\xAE", "Larkspire\xC2\xAE"},
      {"M\xFCller caf\xE9", "M\xC3\xBCller caf\xC3\xA9"},
      {"\x80 5", "\xE2\x82\xAC 5"},  // euro sign
      {"\x93quoted\x94", "\xE2\x80\x9Cquoted\xE2\x80\x9D"},
      {"a\x96z", "a\xE2\x80\x93z"},      // en dash
      {"\x8A\x9F", "\xC5\xA0\xC5\xB8"},  // S caron, Y diaeresis
      {"\xA0", "\xC2\xA0"},              // no-break space
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8FromCp1252(c.cp1252), c.utf8) << c.cp1252;
    EXPECT_EQ(Cp1252FromUtf8(c.utf8), c.cp1252) << c.cp1252;
  }
}

TEST(TextEncoding, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::string utf8 = Utf8FromCp1252(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Cp1252FromUtf8(utf8), all);
}

TEST(TextEncoding, CharactersOutsideWindows1252BecomeQuestionMarks) {
  EXPECT_EQ(Cp1252FromUtf8("\xE6\x97\xA5 \xF0\x9F\x8C\xB8 x"), "? ? x");
  // U+0080 is a control character Windows-1252 has no byte for (0x80 is the euro sign).
  EXPECT_EQ(Cp1252FromUtf8("\xC2\x80"), "?");
  // The undefined bytes travel as the control characters of their value.
  EXPECT_EQ(Cp1252FromUtf8("\xC2\x81\xC2\x9D"), "\x81\x9D");
}

TEST(TextEncoding, MalformedBytesInUtf8AreKept) {
  EXPECT_EQ(Cp1252FromUtf8("caf\xC3\xA9 caf\xE9"), "caf\xE9 caf\xE9");
}

}  // namespace
}  // namespace larkspire
