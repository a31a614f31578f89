// The application object: one per run, created before the main window and destroyed after
// it. It is the run (settings, log, entry list, user-interface door, abort state) plus what
// belongs to the process: the start and stop sequence and the instance lock.
#pragma once

#include <string>

#include "platform/InstanceLock.h"
#include "run/Run.h"

namespace larkspire {

inline constexpr const char* kLockFileName = "Larkspire_lock.dat";

class AppCore : public CRun {
 public:
  // The start sequence up to the lock: settings read, start lines logged, run counter raised,
  // GUID created when missing, sort read, leftover upgrade file deleted, version logged,
  // defaults applied, command line scanned for the unattended flag.
  AppCore(ISettingsBackend& backend, std::string program_path,
          const std::string& command_line = "");
  // Logs the stop line; the settings then write themselves back.
  ~AppCore();

  // The single-instance lock in the logging directory. Returns the message that ends the run
  // when the lock is not this run's: another instance holds it, or no lock can be had (the run
  // never goes on unlocked then). "" when the run may go on: it holds the lock, or there is no
  // logging directory (not configured yet, or missing) and so nothing shared to guard.
  std::string AcquireInstanceLock();
  void ReleaseInstanceLock() { lock_.Release(); }

  // The private help folder made for a run without a logging directory; "" until made.
  std::string& TemporaryHelpFolder() { return temporary_help_folder_; }

 private:
  CInstanceLock lock_;
  std::string temporary_help_folder_;
};

}  // namespace larkspire
