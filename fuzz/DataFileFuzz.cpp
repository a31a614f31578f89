// The data-file loader over arbitrary file bytes.
#include <cstdlib>

#include "FuzzInput.h"
#include "entries/DataFile.h"

using namespace larkspire;

namespace {

// Saves the list and loads the saved file into a fresh list; the saved file must load.
std::string SaveAndReload(const CEntryList& list, CEntryList& reloaded) {
  const std::string saved = FormatDataFile(list);
  std::string error;
  if (!ParseDataFile(saved, reloaded, error)) std::abort();
  if (reloaded.Size() != list.Size()) std::abort();
  return saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  CEntryList list;
  std::string error;
  if (!ParseDataFile(fuzz::AsText(data, size), list, error)) return 0;
  // Loading normalises each entry (an unset LastChange becomes today), so the first save may
  // differ from the next; from then on saving and loading change nothing.
  CEntryList once;
  CEntryList twice;
  CEntryList thrice;
  SaveAndReload(list, once);
  const std::string saved = SaveAndReload(once, twice);
  if (SaveAndReload(twice, thrice) != saved) std::abort();
  return 0;
}
