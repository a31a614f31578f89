// The program's own upgrade: the rules file names the newest version, the title and the
// About box advertise it, and the Upgrade command downloads, unpacks and hands over to it.
#pragma once

#include <functional>
#include <string>

namespace larkspire {

class AppCore;

inline constexpr unsigned kProgramDownloadTimeoutMs = 500000;
// The private directories in the logging directory that an upgrade unpacks the program into:
// this prefix and six letters or digits.
inline constexpr const char* kUpgradeFolderPrefix = "Larkspire_upgrade.";

// At a start that is not an upgrade run: removes the unpacked programs of earlier upgrades
// (this user's private directories, and the file older versions left in the directory itself).
void RemoveUpgradeLeftovers(const std::string& log_dir);

// The first six characters of the rules version.
std::string NewestVersion(const AppCore& app);
// Whether the program's version is the newest the rules know of.
bool ProgramIsCurrent(const AppCore& app);
// What the window title adds after the organisation: the newer version and how to get it,
// or "" when the rules name no version or the program is current.
std::string TitleVersionSuffix(const AppCore& app);

enum class UpgradeResult {
  kCurrent,
  kDeclined,
  kDownloadFailed,
  kRefused,  // the download's signed manifest did not vouch for it, or it is not newer
  kCopyFailed,
  kHandedOver
};

// Options > Upgrade: rules brought up to date, the user asked, the program downloaded (direct
// first, then through the proxy) after its signed manifest, which must vouch for it and name a
// version above this program's, unpacked into LogDir and checked to be a program of this
// platform, the upgrade reported, and the unpacked copy handed to hand_over before the window
// is asked to close. hand_over must start it only after this run has saved everything.
UpgradeResult UpgradeProgram(AppCore& app,
                             const std::function<void(const std::string& program)>& hand_over);

}  // namespace larkspire
