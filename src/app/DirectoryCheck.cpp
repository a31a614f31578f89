#include "app/DirectoryCheck.h"

#include <sys/stat.h>

#include <cstdio>
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
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = std::fwrite(kProbeBytes, 1, 4, out) == 4;
  ok = std::fclose(out) == 0 && ok;
  char back[4] = {};
  if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
    ok = std::fread(back, 1, 4, in) == 4 && ok;
    std::fclose(in);
  } else {
    ok = false;
  }
  RemoveFile(path);
  return ok && std::memcmp(back, kProbeBytes, 4) == 0;
}

void CreateDirectoryPath(const std::string& dir) {
  for (std::size_t slash = dir.find('/', 1); slash != std::string::npos;
       slash = dir.find('/', slash + 1)) {
    ::mkdir(dir.substr(0, slash).c_str(), 0755);
  }
  ::mkdir(dir.c_str(), 0755);
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
