// Copies of the program file itself (installation, upgrade). A copy replaces the target whole
// through a rename, so it works while the old copy is running and never leaves half a program.
#pragma once

#include <string>

namespace larkspire {

// Copies from over to with from's permission bits; false when either side fails.
bool CopyProgramFile(const std::string& from, const std::string& to);
// Whether the bytes look like a program of this platform (an ELF image here).
bool LooksLikeProgram(const std::string& bytes);

}  // namespace larkspire
