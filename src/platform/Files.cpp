#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>

#include "platform/CappedRead.h"

namespace larkspire {

std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string out(dir);
  if (!out.empty() && out.back() != '/') out += '/';
  out += name;
  return out;
}

std::string ToTextMode(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 8);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string FromTextMode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    out += bytes[i];
  }
  return out;
}

int OpenRegularFile(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = error;
    return -1;
  }
  // O_NONBLOCK only kept the open itself from waiting; a regular file never blocks anyway.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  return ReadFileUpTo(path, std::numeric_limits<std::size_t>::max(), out) == FileRead::kRead;
}

FileRead ReadFileUpTo(const std::string& path, std::size_t max_bytes, std::string& out) {
  out.clear();
  const int fd = OpenRegularFile(path, O_RDONLY);
  if (fd < 0) return FileRead::kFailed;
  const auto refuse = [&](FileRead why) {
    const int error = errno;
    ::close(fd);
    out.clear();
    errno = error;
    return why;
  };
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) {
    if (static_cast<uint64_t>(st.st_size) > max_bytes) return refuse(FileRead::kTooLarge);
    out.reserve(static_cast<std::size_t>(st.st_size));
  }
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return refuse(FileRead::kFailed);
    if (n == 0) break;
    if (static_cast<std::size_t>(n) > max_bytes - out.size()) return refuse(FileRead::kTooLarge);
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return FileRead::kRead;
}

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes, flushes to disk and closes; false with errno from the first step that failed.
bool WriteAndClose(int fd, std::string_view bytes) {
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const int error = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = error;
  return ok;
}

// Six letters or digits, different at every call.
std::string UniqueSuffix() {
  static constexpr char kCharacters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random{std::random_device{}()};
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kCharacters[random() % (sizeof kCharacters - 1)];
  return suffix;
}

// Creates the temporary beside path; its name is left in temp. The mode 0666 lets the kernel
// apply the user's umask (and a default ACL of the directory).
int CreateTemporaryBeside(const std::string& path, std::string& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = path + "." + UniqueSuffix();
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void SyncDirectoryOf(const std::string& path) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool SaveFileAtomically(const std::string& path, std::string_view bytes) {
  std::string temp;
  const int fd = CreateTemporaryBeside(path, temp);
  if (fd < 0) return false;
  // The owner may have widened or narrowed an existing file's permissions; they stay.
  struct stat st {};
  bool ok = true;
  if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    ok = ::fchmod(fd, st.st_mode & 07777) == 0;
  }
  if (!ok) {
    const int error = errno;
    ::close(fd);
    errno = error;
  } else {
    ok = WriteAndClose(fd, bytes) && std::rename(temp.c_str(), path.c_str()) == 0;
  }
  if (ok) {
    // Makes the rename itself durable.
    SyncDirectoryOf(path);
    return true;
  }
  const int error = errno;
  ::unlink(temp.c_str());
  errno = error;
  return false;
}

namespace {

// Opens the file for appending, creating it when missing; -1 when it cannot be.
int OpenForAppend(const std::string& path) {
  int fd = OpenRegularFile(path, O_WRONLY | O_APPEND);
  if (fd < 0 && errno == ENOENT) {
    fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    // Another writer created it first: append to theirs.
    if (fd < 0 && errno == EEXIST) fd = OpenRegularFile(path, O_WRONLY | O_APPEND);
  }
  return fd;
}

}  // namespace

bool AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = OpenForAppend(path);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  const int error = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = error;
  return ok;
}

bool CAppendFile::Append(const std::string& path, const std::optional<FileIdentity>& named,
                         std::string_view bytes) {
  const bool same =
      fd_ >= 0 && path == path_ && named && named->device == device_ && named->inode == inode_;
  if (!same) {
    Close();
    fd_ = OpenForAppend(path);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      Close();
      return false;
    }
    path_ = path;
    device_ = static_cast<uint64_t>(st.st_dev);
    inode_ = static_cast<uint64_t>(st.st_ino);
  }
  return WriteAll(fd_, bytes);
}

void CAppendFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool CreateNewFile(const std::string& path, std::string_view bytes, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  if (!ok) {
    const int error = errno;
    ::close(fd);
    errno = error;
  } else {
    ok = WriteAndClose(fd, bytes);
  }
  if (ok) return true;
  const int error = errno;
  ::unlink(path.c_str());
  errno = error;
  return false;
}

std::string MakePrivateDirectory(const std::string& parent, const std::string& prefix) {
  std::string pattern = JoinPath(parent, prefix + "XXXXXX");
  return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

bool WriteFreshFile(const std::string& path, std::string_view bytes) {
  // Created new, so the bytes go into a regular file of our own whatever stood there before.
  const auto create = [&path] {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  };
  int fd = create();
  if (fd < 0 && errno == EEXIST) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
    fd = create();
  }
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, bytes);
  if ((::close(fd) == 0) && ok) return true;
  ::unlink(path.c_str());
  return false;
}

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

bool FlushFile(const std::string& path) {
  const int fd = OpenRegularFile(path, O_RDONLY);
  if (fd < 0) return false;
  const bool ok = ::fdatasync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

bool FlushDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return (::close(fd) == 0) && ok;
}

}  // namespace

bool FlushToDisk(const std::vector<std::string>& paths) {
  std::vector<std::string> dirs;
  for (const std::string& path : paths) {
    std::string dir = DirectoryOf(path);
    if (std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(std::move(dir));
  }
#ifdef __linux__
  if (paths.size() > kFlushOneByOneMax) {
    bool ok = std::all_of(paths.begin(), paths.end(), FileExists);
    for (const std::string& dir : dirs) {
      const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      ok = fd >= 0 && ::syncfs(fd) == 0 && ok;
      if (fd >= 0) ::close(fd);
    }
    return ok;
  }
#endif
  bool ok = true;
  for (const std::string& path : paths) ok = FlushFile(path) && ok;
  // New names are durable once their directory is.
  for (const std::string& dir : dirs) ok = FlushDirectory(dir) && ok;
  return ok;
}

std::optional<FileIdentity> FileIdentityOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      static_cast<int64_t>(st.st_size),
                      static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool CanReadFile(const std::string& path) {
  const int fd = OpenRegularFile(path, O_RDONLY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakeDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return IsDirectory(path);
}

std::optional<int64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<int64_t>(st.st_size);
}

std::optional<int64_t> LastWriteTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<int64_t>(st.st_mtime);
}

}  // namespace larkspire
