// The digest item reader: whatever it reads back is an item that writes and reads as itself.
#include <cstdlib>

#include "FuzzInput.h"
#include "notify/DigestItem.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::optional<CDigestItem> item = ParseDigestItem(fuzz::AsText(data, size));
  if (item && ParseDigestItem(FormatDigestItem(*item)) != item) std::abort();
  return 0;
}
