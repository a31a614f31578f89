// The decimal number at the start of a text, as the data file and the numeric fields read it.
#pragma once

#include <cstdint>
#include <string_view>

namespace larkspire {

enum class NumberRead { kNone, kFits, kOverflow };

// Optional white space and sign, then digits up to the first non-digit; what follows is
// ignored. value is 0 when there are no digits and saturates at the int32 limits.
NumberRead ReadLeadingNumber(std::string_view text, int32_t& value);

}  // namespace larkspire
