// The docket-file loader over arbitrary file bytes: what it reads it writes back byte for byte.
#include <cstdlib>

#include "FuzzInput.h"
#include "docket/DocketFile.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  CDocket docket;
  if (!ParseDocket(fuzz::AsText(data, size), docket).empty()) return 0;
  const std::string saved = FormatDocket(docket);
  CDocket reloaded;
  if (!ParseDocket(saved, reloaded).empty()) std::abort();
  if (reloaded.All() != docket.All()) std::abort();
  if (FormatDocket(reloaded) != saved) std::abort();
  return 0;
}
