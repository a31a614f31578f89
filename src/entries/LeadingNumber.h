// The decimal number at the start of a text, as the data file and the numeric fields read it.
#pragma once

#include <cstdint>
#include <string_view>

namespace larkspire {

// Optional white space and sign, then digits up to the first non-digit. value is 0 when there
// are no digits and saturates at the int32 limits. Returns whether the text held a number that
// fits in 32 bits.
bool ReadLeadingNumber(std::string_view text, int32_t& value);

}  // namespace larkspire
