// Compressed program files made by hand for the tests: the header of the LZ file format around
// packed data written byte by byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/LzExpand.h"

namespace larkspire {

inline std::string LzFileAround(std::size_t unpacked_length, std::string_view packed) {
  std::string out(kLzSignature);
  out += 'A';
  out += '_';
  for (int shift = 0; shift < 32; shift += 8) {
    out += static_cast<char>((unpacked_length >> shift) & 0xFF);
  }
  out += packed;
  return out;
}

}  // namespace larkspire
