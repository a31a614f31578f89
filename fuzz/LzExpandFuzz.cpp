// Expansion of arbitrary bytes as a compressed download: never more than the header says,
// and data without the signature passes through unchanged.
#include <cstdlib>

#include "FuzzInput.h"
#include "platform/LzExpand.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  const std::optional<std::string> expanded = LzExpand(bytes);
  if (bytes.substr(0, kLzSignature.size()) != kLzSignature) {
    if (!expanded || *expanded != bytes) std::abort();
  } else if (expanded && bytes.size() >= 14) {
    const auto byte = [&](std::size_t i) {
      return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i]));
    };
    const uint32_t length = byte(10) | byte(11) << 8 | byte(12) << 16 | byte(13) << 24;
    if (expanded->size() != length) std::abort();
  }
  return 0;
}
