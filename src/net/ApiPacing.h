// Turns at a web service whose key may have one request in flight at a time: every request of
// the key, in any process using the same lock file, waits for the key's turn (an exclusive
// flock on the file) and for the earliest start the previous request left in the file (a gap,
// or the wait a refusal asked for). Waiting keeps the window alive and ends with an abort.
//
// The lock file lies in a directory other users may write, so it is opened as every shared
// file is (platform/Files.h): never through a symbolic link, only a regular file, created new
// with 0644 less the umask so the directory's other users of the key share the turns. Only a
// file of this user's own carries time stamps: another user's file gives turns, but what it
// says is not waited for and nothing is written into it. A turn not granted within the run's
// time-out (someone holds the lock for ever) is logged, and the process then paces alone.
#pragma once

#include <cstdint>
#include <string>

namespace larkspire {

class INetWaiter;

// A start the file asks for further ahead than this is taken for a clock that jumped (or a
// file from another machine) and ignored.
inline constexpr std::int64_t kApiPacingLongestWaitMs = 120000;

class CApiPacing {
 public:
  // lock_path "" paces this process only.
  explicit CApiPacing(std::string lock_path) : lock_path_(std::move(lock_path)) {}
  ~CApiPacing();
  CApiPacing(const CApiPacing&) = delete;
  CApiPacing& operator=(const CApiPacing&) = delete;

  // Waits, pumping the waiter's events, until the key's turn is this process's and its
  // earliest start has come. False when an abort ended the wait (no turn is then held).
  bool BeginTurn(INetWaiter& waiter);
  // Ends the turn; the key's next request may start next_gap_ms from now.
  void EndTurn(std::int64_t next_gap_ms);
  bool HasTurn() const { return in_turn_; }

  const std::string& LockPath() const { return lock_path_; }

 private:
  // Opens the lock file into fd_; false, logged, when it cannot be used.
  bool OpenLockFile(INetWaiter& waiter);
  // Logs why the lock file is passed by; the process paces alone from then on.
  void PaceAlone(INetWaiter& waiter, const std::string& why);
  // The earliest start the lock file holds, in wall-clock milliseconds; 0 for none.
  std::int64_t ReadEarliestStart() const;
  void Unlock();

  std::string lock_path_;
  int fd_ = -1;                        // open while a turn is held or being waited for
  bool own_file_ = false;              // fd_ is a file of this user's: its time stamps count
  bool alone_ = false;                 // the lock file was passed by for the rest of the run
  std::uint64_t lock_wait_began_ = 0;  // on the monotonic clock; 0 when not waiting for it
  bool in_turn_ = false;
  // This process's own earliest start, on the monotonic clock: it holds even without a file.
  std::uint64_t local_earliest_ = 0;
};

}  // namespace larkspire
