#include "entries/LeadingNumber.h"

#include <cstddef>
#include <limits>

namespace larkspire {

NumberRead ReadLeadingNumber(std::string_view text, int32_t& value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t magnitude = 0;
  bool digits = false;
  bool fits = true;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) {
      magnitude = limit;
      fits = false;
    }
  }
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  if (!digits) return NumberRead::kNone;
  return fits ? NumberRead::kFits : NumberRead::kOverflow;
}

}  // namespace larkspire
