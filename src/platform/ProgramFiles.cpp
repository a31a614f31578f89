#include "platform/ProgramFiles.h"

#include <sys/stat.h>

#include "platform/Files.h"

namespace larkspire {

bool CopyProgramFile(const std::string& from, const std::string& to) {
  struct stat st {};
  std::string bytes;
  if (::stat(from.c_str(), &st) != 0 || !ReadWholeFile(from, bytes)) return false;
  return SaveFileAtomically(to, bytes) && ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

bool LooksLikeProgram(const std::string& bytes) {
  return bytes.rfind(
             "\x7F"
             "ELF",
             0) == 0;
}

}  // namespace larkspire
