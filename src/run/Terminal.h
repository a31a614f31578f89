// Text for a terminal, or for whatever a scheduler does with a job's output: the program's
// Windows-1252 text goes out as UTF-8, so "Larkspire\xAE" reads as "Larkspire®" there too.
#pragma once

#include <cstdio>
#include <string_view>

namespace larkspire {

// Writes the text and a line feed, converted to UTF-8, and flushes the stream.
void PrintLine(std::FILE* stream, std::string_view text);

}  // namespace larkspire
