// The pending e-mail list reader: names are never empty and never hold a line feed, and a list
// written back from names the program could have made (no CR in them) reads the same.
#include <cstdlib>

#include "FuzzInput.h"
#include "notify/PendingList.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string bytes(fuzz::AsText(data, size));
  const std::vector<std::string> names = ReadPendingNames(bytes);
  std::string written;
  bool plain = true;
  for (const std::string& name : names) {
    if (name.empty() || name.find('\n') != std::string::npos) std::abort();
    plain = plain && name.find('\r') == std::string::npos;
    written += name + "\r\n";
  }
  if (plain && ReadPendingNames(written) != names) std::abort();
  return 0;
}
