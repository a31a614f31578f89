// Facts about the running program and the machine it runs on.
#pragma once

#include <string>

namespace larkspire {

// The program file's name on this platform ("Larkspire.exe" on Windows); messages that name
// the program file use it.
extern const char* const kProgramFileName;
// The file an upgrade unpacks to: the program name with "_temp" before any extension.
std::string UpgradeFileName();

// Absolute path of the running program file; empty when it cannot be found.
std::string RunningProgramPath();
std::string DirectoryOf(const std::string& path);

// Where the Debian package puts the program. A program run from there belongs to the package
// manager: it is never copied, replaced or written beside.
extern const char* const kPackagedProgramDirectory;
bool IsPackagedProgram(const std::string& program_path);

// The operating system in the shape "<system> version <major>.<minor> <release> (Build <n>)".
std::string OsDescription();

}  // namespace larkspire
