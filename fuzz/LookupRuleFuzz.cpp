// Rules lookup over a fuzzed rules text: section, zero byte, key, zero byte, rules text. The
// value's variable references resolve against an entry in the expansion slots.
#include "../tests/support/TestApp.h"
#include "FuzzInput.h"
#include "notify/Templates.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static CTestApp* app = new CTestApp();
  static CEntry* entry = [] {
    auto* made = new CEntry();
    SetIdentifier(*made, "10/123,456");
    made->SetTextByName("Reference", "P-1");
    return made;
  }();
  std::string_view input = fuzz::AsText(data, size);
  const std::string_view section = fuzz::TakePart(input);
  const std::string_view key = fuzz::TakePart(input);
  (*app)->rules_text.assign(input);
  CExpansionScope scope(entry, entry);
  LookupRule(**app, section, key);
  LookupRule(**app, section, std::nullopt);
  LookupRule(**app, "location", "status");
  IsAcceptableRulesText(input);
  ValueAfterMarker(input, kVersionMarker);
  return 0;
}
