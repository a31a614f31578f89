// Splitting a server written as "host", "host:port", "[IPv6]" or "[IPv6]:port", and reading the
// host as an address literal.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/HostPort.h"
#include "net/NameLookup.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const CHostPort split = SplitHostPort(text, 25);
  if (split.port < 0 || split.port > 65535) std::abort();
  if (text.find(split.host) == std::string_view::npos) std::abort();
  const std::size_t close = text.find(']');
  if (text.starts_with('[') && close != std::string_view::npos) {
    if (split.host != text.substr(1, close - 1)) std::abort();
  } else if (text.find(':') == std::string_view::npos) {
    if (split.host != text || split.port != 25) std::abort();
  }
  if (std::optional<CSocketAddress> address = LiteralAddress(split.host)) {
    address->SetPort(static_cast<int>(split.port));
    if (address->Text().empty()) std::abort();
  }
  return 0;
}
