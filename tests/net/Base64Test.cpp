#include <gtest/gtest.h>

#include "net/Base64.h"
#include "net/PasswordScramble.h"

namespace larkspire {
namespace {

struct Base64Case {
  std::string bytes;
  std::string text;
};

TEST(Base64, EncodesTheRfc4648VectorsAndHighBytes) {
  const Base64Case cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"\xff\xfe\x80", "//6A"},
      {"\x80", "gA=="},
      {std::string("\0\xfb\xef", 3), "APvv"},
  };
  for (const Base64Case& c : cases) {
    EXPECT_EQ(Base64Encode(c.bytes), c.text) << c.text;
    EXPECT_EQ(Base64Decode(c.text), c.bytes) << c.text;
  }
}

TEST(Base64, DecodingCountsOutsideCharactersAsZeroBitsAndShortensTheGroup) {
  const Base64Case cases[] = {
      {"a", "YQ"},           // third position past the end: one byte
      {"ab", "YWI"},         // fourth past the end: two bytes
      {"a", "YQ*="},         // third outside: one byte
      {"\x01\x84", "*YQ="},  // first outside: two bytes, zero bits in its place
      {"\x60\x06", "Y*Y="},  // second outside: two bytes
      {"foob", "Zm9vYg"},    // a short last group
  };
  for (const Base64Case& c : cases) {
    EXPECT_EQ(Base64Decode(c.text), c.bytes) << c.text;
  }
}

TEST(PasswordScramble, StoresAbcAsAkpXWQ) {
  EXPECT_EQ(ScramblePassword("abc"), "akpXWQ");
  EXPECT_EQ(UnscramblePassword("akpXWQ"), "abc");
}

TEST(PasswordScramble, RoundTripsEveryLength) {
  const std::string passwords[] = {
      "", "a", "ab", "abcd", "p@ss w0rd!", "\xe9t\xe9\xae", std::string(37, 'x')};
  for (const std::string& plain : passwords) {
    const std::string stored = ScramblePassword(plain);
    EXPECT_EQ(stored.find('='), std::string::npos) << plain;
    EXPECT_EQ(UnscramblePassword(stored), plain) << plain;
  }
}

}  // namespace
}  // namespace larkspire
