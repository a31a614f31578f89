#include "platform/LzExpand.h"

#include <array>
#include <cstdint>

namespace larkspire {
namespace {

constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kWindowMask = kWindowSize - 1;
// The compressor starts writing 16 bytes before the end of a window of blanks, so matches can
// refer to leading blanks that were never written.
constexpr std::size_t kWindowStart = kWindowSize - 16;
constexpr std::size_t kMinimumMatch = 3;

}  // namespace

std::optional<std::string> LzExpand(std::string_view data) {
  if (data.substr(0, kLzSignature.size()) != kLzSignature) return std::string(data);
  if (data.size() < kHeaderSize || data[8] != 'A') return std::nullopt;
  const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(data[i]); };
  const std::size_t length = static_cast<std::size_t>(byte(10)) | std::size_t{byte(11)} << 8 |
                             std::size_t{byte(12)} << 16 | std::size_t{byte(13)} << 24;

  // A flag byte and eight two-byte matches of at most 18 bytes each: no packed data expands
  // more than 144 / 17 times. A header that claims more is damaged, and trusting it would
  // reserve gigabytes for a download of a few bytes.
  const std::size_t packed = data.size() - kHeaderSize;
  if (length / 9 > packed) return std::nullopt;

  std::array<char, kWindowSize> window;
  window.fill(' ');
  std::size_t position = kWindowStart;
  std::string out;
  out.reserve(length);
  const auto put = [&](char c) {
    out += c;
    window[position] = c;
    position = (position + 1) & kWindowMask;
  };

  std::size_t in = kHeaderSize;
  while (out.size() < length) {
    if (in >= data.size()) return std::nullopt;
    const uint8_t flags = byte(in++);
    // Each flag bit, lowest first, tells whether the next item is a literal byte (set) or a
    // two-byte reference into the window (clear).
    for (int bit = 0; bit < 8 && out.size() < length; ++bit) {
      if (flags & (1u << bit)) {
        if (in >= data.size()) return std::nullopt;
        put(data[in++]);
        continue;
      }
      if (in + 1 >= data.size()) return std::nullopt;
      const uint8_t low = byte(in++);
      const uint8_t high = byte(in++);
      std::size_t from = low | std::size_t{static_cast<uint8_t>(high & 0xF0)} << 4;
      const std::size_t count = (high & 0x0F) + kMinimumMatch;
      // Byte by byte: a reference may overlap the bytes it is producing.
      for (std::size_t k = 0; k < count && out.size() < length; ++k) {
        put(window[from]);
        from = (from + 1) & kWindowMask;
      }
    }
  }
  return out;
}

}  // namespace larkspire
