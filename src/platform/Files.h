// File helpers shared by every layer that touches the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace larkspire {

// The Windows program joined names with "\"; here the platform separator is used.
std::string JoinPath(std::string_view dir, std::string_view name);

// Windows text mode, emulated so files move between platforms unchanged: writing turns every
// "\n" into "\r\n", reading turns "\r\n" into "\n" (a lone "\n" is read as it is).
std::string ToTextMode(std::string_view text);
std::string FromTextMode(std::string_view bytes);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// Replaces a file whole so a crash leaves either the old or the new bytes: writes a temporary
// in the same directory, flushes and fsyncs it, then renames it over the target.
bool SaveFileAtomically(const std::string& path, std::string_view bytes);

// Appends bytes; creates the file when missing.
bool AppendToFile(const std::string& path, std::string_view bytes);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
// Creates the directory and any missing parents.
bool MakeDirectories(const std::string& path);
std::optional<int64_t> FileSize(const std::string& path);
// Last modification time in seconds since 1970-01-01 UTC.
std::optional<int64_t> LastWriteTime(const std::string& path);

}  // namespace larkspire
