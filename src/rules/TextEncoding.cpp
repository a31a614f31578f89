#include "rules/TextEncoding.h"

#include <cstdint>

namespace larkspire {
namespace {

// Characters of the bytes 0x80 to 0x9F; zero marks the five undefined bytes.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t CharacterOfByte(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  const char32_t mapped = kHighControls[byte - 0x80];
  return mapped != 0 ? mapped : byte;
}

char ByteOfCharacter(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (unsigned i = 0; i < 32; ++i) {
    const char32_t mapped = kHighControls[i];
    if (mapped == c || (mapped == 0 && c == 0x80 + i)) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Length of the well-formed sequence starting at `at`, 0 when it is not one; sets the character.
std::size_t DecodeUtf8(std::string_view bytes, std::size_t at, char32_t& c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(at + i) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  char32_t c = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = DecodeUtf8(bytes, at, c);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string Utf8FromCp1252(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char byte : text) AppendUtf8(out, CharacterOfByte(static_cast<unsigned char>(byte)));
  return out;
}

std::string Cp1252FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  char32_t c = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t length = DecodeUtf8(utf8, at, c);
    // Not well-formed after all: the byte is kept, as a reader of unknown text would.
    if (length == 0) {
      out += utf8[at++];
      continue;
    }
    out += ByteOfCharacter(c);
    at += length;
  }
  return out;
}

}  // namespace larkspire
