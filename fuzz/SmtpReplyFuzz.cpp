// Expect's reply scanning, fed in the pieces a server might send: the first byte chooses the
// piece length.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/Connection.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input = fuzz::AsText(data, size);
  std::size_t piece = 1;
  if (!input.empty()) {
    piece += static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
  }
  std::size_t scan = 0;
  bool complete = false;
  for (std::size_t have = 0; have < input.size() && !complete;) {
    have = std::min(input.size(), have + piece);
    complete = ScanReply(input.substr(0, have), scan);
    if (scan > have) std::abort();
  }
  // Read whole, the reply ends at the same place.
  std::size_t whole_scan = 0;
  if (complete && !ScanReply(input, whole_scan)) std::abort();
  ReplyCode(input);
  return 0;
}
