// Expect's incremental reply reader, fed in the pieces a server might send (the first byte
// chooses the piece length), checked against a reading of the whole text from its start: the
// reply ends at the same line whatever the pieces, and never past the cap.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/ReplyReader.h"

using namespace larkspire;

namespace {

// Where the whole text's reply ends (just past the line feed of its final line), if it does.
std::size_t WholeReplyEnd(std::string_view text) {
  std::size_t line = 0;
  for (std::size_t end; (end = text.find('\n', line)) != std::string_view::npos; line = end + 1) {
    if (end - line < 4 || text[line + 3] != '-') return end + 1;
  }
  return std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view input = fuzz::AsText(data, size);
  std::size_t piece = 1;
  if (!input.empty()) {
    piece += static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
  }
  // A small cap, so the fuzzer reaches it with short inputs.
  constexpr std::size_t kCap = 512;
  CReplyReader reader(kCap);
  CReplyReader::Progress progress = CReplyReader::Progress::kMore;
  std::size_t fed = 0;
  std::size_t last = 0;  // the last piece offered
  while (fed < input.size() && progress == CReplyReader::Progress::kMore) {
    const std::string_view chunk = input.substr(fed, piece);
    last = chunk.size();
    progress = reader.Add(chunk);
    if (progress != CReplyReader::Progress::kTooLong) fed += chunk.size();
  }
  if (reader.Text() != input.substr(0, fed) || reader.Text().size() > kCap) std::abort();

  const std::size_t end = WholeReplyEnd(input);
  switch (progress) {
    case CReplyReader::Progress::kComplete:
      // Ended within the last piece fed, exactly where the whole text's reply ends.
      if (end == std::string_view::npos || end > fed || end + last <= fed) std::abort();
      break;
    case CReplyReader::Progress::kTooLong:
      if (fed + last <= kCap) std::abort();
      if (end != std::string_view::npos && end <= fed) std::abort();
      break;
    case CReplyReader::Progress::kMore:
      if (fed != input.size() || (end != std::string_view::npos)) std::abort();
      break;
  }
  reader.Code();
  return 0;
}
