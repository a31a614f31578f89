// Date conversion, identifier recognition and day numbers: format selector byte, then text.
#include <cstdlib>

#include "FuzzInput.h"
#include "entries/Entry.h"
#include "entries/Identifier.h"
#include "rules/Dates.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const std::string_view kFormats[] = {"mm?dd?yyyy", "dd?mm?yyyy", "mdy", "dmy"};
  std::string_view input = fuzz::AsText(data, size);
  std::string_view format = "mdy";
  if (!input.empty()) {
    const unsigned char selector = static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
    format = selector < 4 ? kFormats[selector] : fuzz::TakePart(input);
  }
  const std::string converted = ConvertDate(input, format);
  ParseDayNumber(converted);

  const int32_t day = ParseDayNumber(input);
  if (day != 0 && day != kUnknownDayNumber) {
    // A day number read from a date text writes back as a date that reads the same.
    if (ParseDayNumber(FormatDayNumber(day)) != day) std::abort();
  }
  CEntry entry;
  if (!SetIdentifier(entry, input)) {
    // Exactly one of the three numbers is set.
    const int set =
        !entry.Text(kAppNum).empty() + !entry.Text(kPatNum).empty() + !entry.Text(kPubNum).empty();
    if (set != 1) std::abort();
    FileSafeIdentifier(entry);
  }
  MatchMask(input, format);
  return 0;
}
