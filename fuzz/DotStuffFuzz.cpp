// Dot-stuffing of a message for the DATA phase: every line end comes out as CR LF, no line of
// the message can end the data early, and taking the stuffed dots off again gives the message
// with its line ends made CR LF.
#include <cstdlib>

#include "FuzzInput.h"
#include "net/MailFormat.h"

using namespace larkspire;

namespace {

// CR LF, bare CR and bare LF each as CR LF.
std::string WithCrLfLineEnds(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// One '.' taken off every line that starts with one.
std::string Unstuffed(std::string_view text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && c == '.') {
      line_start = false;
      continue;
    }
    out += c;
    line_start = c == '\n';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view message = fuzz::AsText(data, size);
  const std::string stuffed = DotStuff(message);
  for (std::size_t i = 0; i < stuffed.size(); ++i) {
    if (stuffed[i] == '\r' && (i + 1 == stuffed.size() || stuffed[i + 1] != '\n')) std::abort();
    if (stuffed[i] == '\n' && (i == 0 || stuffed[i - 1] != '\r')) std::abort();
  }
  // The end of data is found only where the client puts it.
  const std::string sent = stuffed + "\r\n.\r\n";
  if (sent.find("\r\n.\r\n") != stuffed.size() || sent.starts_with(".\r\n")) std::abort();
  if (Unstuffed(stuffed) != WithCrLfLineEnds(message)) std::abort();
  return 0;
}
