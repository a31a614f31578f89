#include "net/Base64.h"

namespace larkspire {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The six bits of an alphabet character, or -1.
int SixBits(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = bytes.size() - i < 3 ? bytes.size() - i : 3;
    unsigned group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group <<= 8;
      if (k < count) group |= static_cast<unsigned char>(bytes[i + k]);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    unsigned group = 0;
    int first_outside = -1;
    for (int k = 0; k < 4; ++k) {
      const std::size_t at = i + static_cast<std::size_t>(k);
      const int bits = at < text.size() ? SixBits(text[at]) : -1;
      group = (group << 6) | static_cast<unsigned>(bits < 0 ? 0 : bits);
      if (bits < 0 && first_outside < 0) first_outside = k;
    }
    // All four in the alphabet: three bytes; the third outside first: one; otherwise two.
    const int count = first_outside < 0 ? 3 : first_outside == 2 ? 1 : 2;
    for (int k = 0; k < count; ++k) out += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
  }
  return out;
}

}  // namespace larkspire
