// The reading of a whole web-service answer: status line, headers (Retry-After, lengths,
// chunked transfer) and body, whatever the status.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/ApiRequest.h"

using namespace larkspire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view response = fuzz::AsText(data, size);
  CApiAnswer answer;
  const std::string error = ReadApiResponse(response, answer);
  if (answer.status < 0 || answer.status > 999) std::abort();
  // A body is made of the response's bytes: never longer than what came after the headers.
  if (error.empty() && answer.body.size() + 4 > response.size()) std::abort();
  if (answer.retry_after.size() > response.size()) std::abort();
  return 0;
}
