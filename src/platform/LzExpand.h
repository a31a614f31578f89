// Expansion of files packed by the Windows LZ compressor ("SZDD" files, the format of the
// publisher's compressed program download). Data without the signature is not compressed and
// comes through unchanged, as the Windows expansion library passes such files on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

// The eight signature bytes of a compressed file, followed by the mode 'A', the character
// the compressor took from the end of the file name, and the expanded length (32 bits, LSB
// first); the packed data follows from byte 14.
inline constexpr std::string_view kLzSignature{"SZDD\x88\xF0\x27\x33", 8};

// The expanded bytes, or nothing when compressed data is damaged: a header cut short, a mode
// other than 'A', or packed data that ends before the stated length is reached.
std::optional<std::string> LzExpand(std::string_view data);

}  // namespace larkspire
