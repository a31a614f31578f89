// The reading of a whole HTTP response: status line, headers, body; and the request path's
// encoding.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/HttpGet.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view response = fuzz::AsText(data, size);
  std::string body(response);
  const std::string error = ReadHttpResponse(body);
  if (error.empty()) {
    if (body.size() + 4 > response.size()) std::abort();
    if (response.substr(response.size() - body.size()) != body) std::abort();
  } else {
    if (body != response || error.size() > 254) std::abort();
  }
  // No byte at or below the blank, nor DEL, reaches a request line.
  for (char c : EncodeRequestPath(response)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) std::abort();
  }
  return 0;
}
