// Orderings of 8-bit Windows-1252 text used to sort entries. Case is folded by upper-casing each
// byte through the code page's own letter pairs (so "é" equals "É"), then bytes are compared as
// unsigned values; the result never depends on the process locale.
#pragma once

#include <string_view>

namespace larkspire {

// The Windows-1252 upper-case form of one byte; bytes without a case pair are returned as they are.
unsigned char UpperCaseCp1252(unsigned char c);
// Letters of Windows-1252 (ASCII and the accented ones) and the digits 0 to 9.
bool IsLetterOrDigitCp1252(unsigned char c);

// Case-insensitive comparison: negative, zero or positive.
int CompareNoCase(std::string_view a, std::string_view b);
// As CompareNoCase over the letters and digits only, every other byte skipped, so "A-12"
// equals "a12".
int CompareLettersAndDigitsNoCase(std::string_view a, std::string_view b);

}  // namespace larkspire
