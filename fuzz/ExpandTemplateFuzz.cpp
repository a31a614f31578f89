// Template expansion of arbitrary template text with both entry slots filled.
#include "FuzzInput.h"
#include "entries/Identifier.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/SettingsBackend.h"
#include "rules/Dates.h"
#include "run/Run.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static CRun* app = [] {
    auto* run = new CRun(*new CMemorySettingsBackend, "");
    LoadRules(*run);
    return run;
  }();
  static CEntry* current = [] {
    auto* made = new CEntry();
    SetIdentifier(*made, "10/123,456");
    made->SetTextByName("Reference", "P-1");
    made->SetTextByName("Status", "Docketed");
    return made;
  }();
  static CEntry* previous = [] {
    auto* made = new CEntry(*current);
    made->SetTextByName("Status", "Allowed");
    return made;
  }();
  CExpansionScope scope(*app, current, previous);
  std::string out;
  ExpandTemplate(*app, fuzz::AsText(data, size), out);
  return 0;
}
