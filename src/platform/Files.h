// File helpers shared by every layer that touches the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Puts a new regular file of the bytes under the name, replacing whatever the name held (a
// symbolic link planted there is removed, never followed). Not flushed: FlushToDisk does that,
// so many files written in a row can reach the disk together.
bool WriteFreshFile(const std::string& path, std::string_view bytes);

// Makes the files' bytes and names durable. A few files are flushed one by one, with their
// directories; more than kFlushOneByOneMax in one sync of their file system, which costs one
// flush of the disk instead of one per file.
inline constexpr std::size_t kFlushOneByOneMax = 8;
bool FlushToDisk(const std::vector<std::string>& paths);

// Which file a name stands for and its state: a file rewritten whole or changed in place
// compares unequal.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> FileIdentityOf(const std::string& path);

// Whether the file can be opened for reading (a directory cannot).
bool CanReadFile(const std::string& path);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
// Creates the directory and any missing parents.
bool MakeDirectories(const std::string& path);
std::optional<int64_t> FileSize(const std::string& path);
// Last modification time in seconds since 1970-01-01 UTC.
std::optional<int64_t> LastWriteTime(const std::string& path);

}  // namespace larkspire
