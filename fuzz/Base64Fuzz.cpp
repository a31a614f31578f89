// Lenient base64 decoding of arbitrary text, and the round trip of arbitrary bytes.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/Base64.h"
#include "net/PasswordScramble.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  const std::string decoded = Base64Decode(bytes);
  if (decoded.size() > (bytes.size() + 3) / 4 * 3) std::abort();
  if (Base64Decode(Base64Encode(bytes)) != bytes) std::abort();
  UnscramblePassword(bytes);
  return 0;
}
