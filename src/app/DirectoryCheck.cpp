#include "app/DirectoryCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "app/AppCore.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr const char* kProbeName = "xxyyzzww.tmp";
constexpr char kProbeBytes[] = "ABCD";

}  // namespace

bool ProbeDirectory(const std::string& dir) {
  const std::string path = JoinPath(dir, kProbeName);
  // A probe left by a crash, or a name planted by another user of the directory, goes first:
  // unlinking removes a link itself, never its target, and the probe is then created new.
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  bool ok = ::write(fd, kProbeBytes, 4) == 4;
  char back[4] = {};
  ok = ::pread(fd, back, 4, 0) == 4 && ok && std::memcmp(back, kProbeBytes, 4) == 0;
  ok = ::close(fd) == 0 && ok;
  ::unlink(path.c_str());
  return ok;
}

void CreateDirectoryPath(const std::string& dir) {
  // 0777 less the umask, as for any directory the user makes.
  for (std::size_t slash = dir.find('/', 1); slash != std::string::npos;
       slash = dir.find('/', slash + 1)) {
    ::mkdir(dir.substr(0, slash).c_str(), 0777);
  }
  ::mkdir(dir.c_str(), 0777);
}

bool CheckDirectory(AppCore& app, const std::string& dir, const std::string& purpose,
                    const std::string& label) {
  if (dir.empty()) {
    app.MessageBox("Please enter a directory for storing the " + purpose + ".");
    return false;
  }
  if (ProbeDirectory(dir)) return true;
  if (app.MessageBox(label + " does not exist. Do you want it created?", MsgButtons::kYesNo,
                     MsgAnswer::kYes) == MsgAnswer::kYes) {
    CreateDirectoryPath(dir);
  }
  if (ProbeDirectory(dir)) return true;
  app.MessageBox(label + " was not created.", MsgButtons::kOk, MsgAnswer::kOk, "", std::nullopt,
                 MsgIcon::kWarning);
  return false;
}

}  // namespace larkspire
