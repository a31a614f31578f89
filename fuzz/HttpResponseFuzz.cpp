// The reading of a whole HTTP response: status line, headers, body.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/HttpGet.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view response = fuzz::AsText(data, size);
  std::string body;
  const std::string error = ReadHttpResponse(response, body);
  if (error.empty()) {
    if (body.size() + 4 > response.size()) std::abort();
    if (response.substr(response.size() - body.size()) != body) std::abort();
  } else {
    if (!body.empty() || error.size() > 254) std::abort();
  }
  return 0;
}
