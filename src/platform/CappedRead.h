// Reading a file the user picked, within a limit: a file far larger than anything meant for the
// program costs a clear refusal, never the program's memory or a frozen window.
#pragma once

#include <cstddef>
#include <string>

namespace larkspire {

// Reads the whole file (opened as ReadWholeFile opens it) when it holds at most max_bytes: a
// larger one is refused by its size before any byte is read, and one that grows past it while
// being read is refused at that point. out is empty unless the file was read.
enum class FileRead { kRead, kTooLarge, kFailed };
FileRead ReadFileUpTo(const std::string& path, std::size_t max_bytes, std::string& out);

}  // namespace larkspire
