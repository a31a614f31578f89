// File helpers shared by every layer that touches the disk.
//
// The logging directory may be shared by the users of an office, so every open of an existing
// file here refuses a symbolic link as the last name and anything but a regular file (a FIFO
// planted there would hang the open), and every file created new is created with O_EXCL: no
// other user of the directory can redirect a read or a write to a file of their choosing.
// Failures leave errno telling why.
#pragma once

#include <sys/types.h>

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

// Opens an existing regular file with the open flags given (O_CLOEXEC and O_NOFOLLOW added);
// -1 otherwise, errno ELOOP for a symbolic link, EISDIR or EINVAL for other kinds of file.
int OpenRegularFile(const std::string& path, int flags);

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

// Replaces a file whole so a crash leaves either the old or the new bytes: writes a temporary
// created new beside the target (the target's name, "." and six letters or digits), flushes
// and fsyncs it, then renames it over the target. A file that exists keeps its permission
// bits; a new one gets 0666 less the user's umask.
bool SaveFileAtomically(const std::string& path, std::string_view bytes);

// Appends bytes; creates the file (0666 less the umask) when missing.
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

// Which file a name stands for (a symbolic link is not followed) and its state: a file
// rewritten whole or changed in place compares unequal.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> FileIdentityOf(const std::string& path);

// A file appended to again and again, as AppendToFile appends, but kept open between appends:
// a record costs a write instead of an open, a check and a close. The caller says what the name
// stands for at each append (it looks anyway, for the file's size); when that is no longer the
// file kept open (another writer replaced or removed it), the name is opened anew.
class CAppendFile {
 public:
  CAppendFile() = default;
  ~CAppendFile() { Close(); }
  CAppendFile(const CAppendFile&) = delete;
  CAppendFile& operator=(const CAppendFile&) = delete;

  // named: FileIdentityOf(path) as the caller found it just before.
  bool Append(const std::string& path, const std::optional<FileIdentity>& named,
              std::string_view bytes);
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
  uint64_t device_ = 0;
  uint64_t inode_ = 0;
};

// Whether the file can be opened for reading as OpenRegularFile opens it.
bool CanReadFile(const std::string& path);

// Creates a file that must not exist yet with exactly the permission bits given, writes the
// bytes and flushes them to disk; nothing is left behind when that fails.
bool CreateNewFile(const std::string& path, std::string_view bytes, mode_t mode);

// A new directory inside parent that only this user may enter (0700), named prefix and six
// letters or digits; "" when it cannot be made.
std::string MakePrivateDirectory(const std::string& parent, const std::string& prefix);

// Whether the name exists, whatever it names (a dangling symbolic link too).
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
// Creates the directory and any missing parents.
bool MakeDirectories(const std::string& path);
// The size of the file itself: a symbolic link is not followed.
std::optional<int64_t> FileSize(const std::string& path);
// Last modification time in seconds since 1970-01-01 UTC.
std::optional<int64_t> LastWriteTime(const std::string& path);

}  // namespace larkspire
