#include "entries/TextOrder.h"

#include <array>
#include <cstddef>

namespace larkspire {
namespace {

struct CCaseTables {
  std::array<unsigned char, 256> upper{};
  std::array<bool, 256> letter_or_digit{};

  CCaseTables() {
    for (int c = 0; c < 256; ++c)
      upper[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c);
    auto pair = [this](int lower, int capital) {
      upper[static_cast<std::size_t>(lower)] = static_cast<unsigned char>(capital);
      letter_or_digit[static_cast<std::size_t>(lower)] = true;
      letter_or_digit[static_cast<std::size_t>(capital)] = true;
    };
    for (int c = 'a'; c <= 'z'; ++c) pair(c, c - 0x20);
    pair(0x9A, 0x8A);  // s caron
    pair(0x9C, 0x8C);  // oe ligature
    pair(0x9E, 0x8E);  // z caron
    pair(0xFF, 0x9F);  // y diaeresis
    for (int c = 0xE0; c <= 0xFE; ++c) {
      if (c != 0xF7) pair(c, c - 0x20);  // 0xF7 is the division sign
    }
    // Letters without a capital in the code page: feminine and masculine ordinals, micro sign,
    // sharp s.
    for (int c : {0xAA, 0xB5, 0xBA, 0xDF}) letter_or_digit[static_cast<std::size_t>(c)] = true;
    for (int c = '0'; c <= '9'; ++c) letter_or_digit[static_cast<std::size_t>(c)] = true;
  }
};

const CCaseTables& Tables() {
  static const CCaseTables tables;
  return tables;
}

int Sign(int difference) { return (difference > 0) - (difference < 0); }

}  // namespace

unsigned char UpperCaseCp1252(unsigned char c) { return Tables().upper[c]; }

bool IsLetterOrDigitCp1252(unsigned char c) { return Tables().letter_or_digit[c]; }

int CompareNoCase(std::string_view a, std::string_view b) {
  const auto& upper = Tables().upper;
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = upper[static_cast<unsigned char>(a[i])];
    const int cb = upper[static_cast<unsigned char>(b[i])];
    if (ca != cb) return Sign(ca - cb);
  }
  return Sign(static_cast<int>(a.size() > n) - static_cast<int>(b.size() > n));
}

int CompareLettersAndDigitsNoCase(std::string_view a, std::string_view b) {
  const CCaseTables& t = Tables();
  std::size_t i = 0;
  std::size_t j = 0;
  for (;;) {
    while (i < a.size() && !t.letter_or_digit[static_cast<unsigned char>(a[i])]) ++i;
    while (j < b.size() && !t.letter_or_digit[static_cast<unsigned char>(b[j])]) ++j;
    const bool a_done = i == a.size();
    const bool b_done = j == b.size();
    if (a_done || b_done) return static_cast<int>(b_done) - static_cast<int>(a_done);
    const int ca = t.upper[static_cast<unsigned char>(a[i++])];
    const int cb = t.upper[static_cast<unsigned char>(b[j++])];
    if (ca != cb) return Sign(ca - cb);
  }
}

}  // namespace larkspire
