// Rules lookup over a fuzzed rules text: section, zero byte, key, zero byte, rules text. The
// value's variable references resolve against a fixed table, as the layers above resolve them
// against an entry.
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "rules/RulesFile.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const VariableLookup* lookup = new VariableLookup([](std::string_view name) {
    if (name == "AppNum2") return std::string("10123456");
    if (name == "Reference") return std::string("P-1");
    return "[" + std::string(name) + "]";
  });
  std::string_view input = fuzz::AsText(data, size);
  const std::string_view section = fuzz::TakePart(input);
  const std::string_view key = fuzz::TakePart(input);
  const CRules rules{input, *lookup};
  LookupRule(rules, section, key);
  LookupRule(rules, section, std::nullopt);
  LookupRule(rules, "location", "status");
  IsAcceptableRulesText(input);
  ValueAfterMarker(input, kVersionMarker);
  return 0;
}
