// The pattern matcher with both the pattern and the page fuzzed: pattern, zero byte, page.
#include "FuzzInput.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input = fuzz::AsText(data, size);
  const std::string_view pattern = fuzz::TakePart(input);
  ExtractValue(input, pattern);
  ExtractValue(NormalizePage(input), pattern);
  return 0;
}
