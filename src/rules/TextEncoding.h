// The program's text is Windows-1252 bytes; files meant for other programs (spreadsheets) are
// UTF-8. These convert at that boundary.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or code points
// above U+10FFFF. Plain ASCII is well-formed.
bool IsValidUtf8(std::string_view bytes);

// Every byte becomes its character; the five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the control characters of the same value, so no byte is lost.
std::string Utf8FromCp1252(std::string_view text);

// The inverse: a character Windows-1252 cannot hold becomes "?"; a byte that starts no
// well-formed sequence is kept as it is.
std::string Cp1252FromUtf8(std::string_view utf8);

}  // namespace larkspire
