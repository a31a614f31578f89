#include "platform/ProgramInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace larkspire {

const char* const kProgramFileName = "larkspire";
// The package's install prefix comes from the build (cmake/Packaging.cmake) so the two agree.
const char* const kPackagedProgramDirectory = LARKSPIRE_PACKAGED_BINDIR;

std::string UpgradeFileName() {
  std::string name = kProgramFileName;
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return name + "_temp";
  return name.substr(0, dot) + "_temp" + name.substr(dot);
}

std::string RunningProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string DirectoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool IsPackagedProgram(const std::string& program_path) {
  return DirectoryOf(program_path) == kPackagedProgramDirectory;
}

std::string OsDescription() {
  struct utsname u {};
  if (::uname(&u) != 0) return "**unknown**";
  int major = 0, minor = 0, build = 0;
  std::sscanf(u.release, "%d.%d.%d", &major, &minor, &build);
  char text[600];
  std::snprintf(text, sizeof text, "%s version %d.%d %s (Build %d)", u.sysname, major, minor,
                u.release, build & 0xFFFF);
  return text;
}

}  // namespace larkspire
