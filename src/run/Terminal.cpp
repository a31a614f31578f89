#include "run/Terminal.h"

#include "rules/TextEncoding.h"

namespace larkspire {

void PrintLine(std::FILE* stream, std::string_view text) {
  const std::string line = Utf8FromCp1252(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace larkspire
