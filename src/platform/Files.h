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
