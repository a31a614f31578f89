// The program's own upgrade: the rules file names the newest version, the title and the
// About box advertise it, and the Upgrade command downloads, unpacks and hands over to it.
#pragma once

#include <functional>
#include <string>

#include "platform/HeldProgram.h"

namespace larkspire {

class AppCore;

inline constexpr unsigned kProgramDownloadTimeoutMs = 500000;
// The private directories an upgrade unpacks the program into: this prefix and six letters or
// digits, in the user's private directory (platform/PrivateDirectory.h). Versions before
// unpacked into the logging directory, where another user of a shared directory could swap
// the folder between the unpacking and the start.
inline constexpr const char* kUpgradeFolderPrefix = "Larkspire_upgrade.";

// At a start that is not an upgrade run: removes the unpacked programs of earlier upgrades
// (this user's private directories in the user's private directory and, from older versions,
// in the logging directory, and the file still older versions left in the directory itself).
void RemoveUpgradeLeftovers(const std::string& log_dir);

// An unpacked program held open from its check to its start, with the SHA-256 of the bytes
// unpacked from the download its signed manifest vouched for.
struct CUnpackedProgram {
  CHeldProgram file;
  std::string sha256;
};
// Whether the file held still has the bytes that were checked.
bool IsIntact(const CUnpackedProgram& program);
// Starts the file held when it is intact; false when it is not or cannot start.
bool StartUnpackedProgram(const CUnpackedProgram& program);

// The first six characters of the rules version.
std::string NewestVersion(const AppCore& app);
// Whether the program's version is the newest the rules know of.
bool ProgramIsCurrent(const AppCore& app);
// What the window title adds after the organisation: the newer version and how to get it,
// or "" when the rules name no version or the program is current.
std::string TitleVersionSuffix(const AppCore& app);

enum class UpgradeResult {
  kCurrent,
  kPackaged,  // the package manager owns this copy: the user is told how to upgrade it
  kDeclined,
  kDownloadFailed,
  kRefused,  // the download's signed manifest did not vouch for it, or it is not newer
  kCopyFailed,
  kHandedOver
};

// Options > Upgrade: rules brought up to date; a copy installed from the package only told that
// its package manager upgrades it; otherwise the user asked, the program downloaded (direct
// first, then through the proxy) after its signed manifest, which must vouch for it and name a
// version above this program's, unpacked into the user's private directory and checked to be a
// program of this platform, the upgrade reported, and the unpacked copy handed to hand_over
// before the window is asked to close. hand_over must start it only after this run has saved
// everything.
UpgradeResult UpgradeProgram(AppCore& app,
                             const std::function<void(CUnpackedProgram&& program)>& hand_over);

}  // namespace larkspire
