#include "platform/PrivateDirectory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/Files.h"

namespace larkspire {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeDirectory() {
  std::string home = Variable("HOME");
  if (!home.empty()) return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// Makes each missing directory of an absolute path with 0700; the ones that exist stay as they
// are (IsUsersAlone judges them).
bool MakePrivateDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

bool IsUsersAlone(const std::string& path) {
  char resolved[PATH_MAX];
  if (path.empty() || ::realpath(path.c_str(), resolved) == nullptr) return false;
  const uid_t user = ::getuid();
  std::string at = resolved;
  struct stat st {};
  if (::lstat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != user ||
      (st.st_mode & 077) != 0) {
    return false;
  }
  while (at != "/") {
    const std::size_t slash = at.rfind('/');
    at = slash == 0 ? "/" : at.substr(0, slash);
    if (::lstat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (st.st_uid != user && st.st_uid != 0) return false;
    const bool others_write = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (others_write && !((st.st_mode & S_ISVTX) != 0 && st.st_uid == 0)) return false;
  }
  return true;
}

std::string UserPrivateDirectory(bool make_missing) {
  const std::string runtime = Variable("XDG_RUNTIME_DIR");
  if (!runtime.empty() && runtime[0] == '/' && IsUsersAlone(runtime)) return runtime;
  std::string cache = Variable("XDG_CACHE_HOME");
  if (cache.empty() || cache[0] != '/') {
    const std::string home = HomeDirectory();
    if (home.empty() || home[0] != '/') return "";
    cache = JoinPath(home, ".cache");
  }
  const std::string own = JoinPath(cache, "Larkspire");
  if (!make_missing && !IsDirectory(own)) return "";
  if (make_missing && !MakePrivateDirectories(own)) return "";
  struct stat st {};
  // A directory of the user's own that an older umask left open is closed; another user's is
  // refused below.
  if (::lstat(own.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) {
    ::chmod(own.c_str(), 0700);
  }
  return IsUsersAlone(own) ? own : "";
}

}  // namespace larkspire
