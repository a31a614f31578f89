#include "net/ApiPacing.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "net/AsyncGroup.h"
#include "net/NetWaiter.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace larkspire {
namespace {

// Time stamps are written at one width, in place: a shorter one never leaves digits behind.
constexpr int kStampDigits = 20;

bool WritingRefused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

}  // namespace

CApiPacing::~CApiPacing() { Unlock(); }

void CApiPacing::Unlock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases its flock
  fd_ = -1;
  in_turn_ = false;
}

void CApiPacing::PaceAlone(INetWaiter& waiter, const std::string& why) {
  waiter.LogRecord("Pacing lock " + lock_path_ + " " + why +
                   "; this process paces its requests alone\n");
  Unlock();
  alone_ = true;
}

bool CApiPacing::OpenLockFile(INetWaiter& waiter) {
  // A second round covers another process creating the file between our two opens.
  for (int round = 0; round < 2 && fd_ < 0; ++round) {
    fd_ = OpenRegularFile(lock_path_, O_RDWR);
    if (fd_ < 0 && WritingRefused(errno)) fd_ = OpenRegularFile(lock_path_, O_RDONLY);
    if (fd_ >= 0 || errno != ENOENT) break;
    fd_ = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
    PaceAlone(waiter, std::string("cannot be opened (") + std::strerror(errno) + ")");
    return false;
  }
  own_file_ = st.st_uid == ::getuid();
  return true;
}

std::int64_t CApiPacing::ReadEarliestStart() const {
  if (!own_file_) return 0;
  char text[32];
  const ssize_t n = ::pread(fd_, text, sizeof text - 1, 0);
  if (n <= 0) return 0;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text, text + n, value);
  return error == std::errc() ? value : 0;
}

bool CApiPacing::BeginTurn(INetWaiter& waiter) {
  for (;;) {
    if (waiter.AbortFlag()) {
      Unlock();
      lock_wait_began_ = 0;
      return false;
    }
    const std::uint64_t now = MonotonicMillis();
    if (now < local_earliest_) {
      waiter.PumpEvents(
          static_cast<int>(std::min<std::uint64_t>(local_earliest_ - now, kWaitSliceMs)));
      continue;
    }
    if (lock_path_.empty() || alone_ || (fd_ < 0 && !OpenLockFile(waiter))) {
      in_turn_ = true;
      return true;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (lock_wait_began_ == 0) lock_wait_began_ = now;
      if (now - lock_wait_began_ >= waiter.TimeoutMs()) {
        lock_wait_began_ = 0;
        PaceAlone(waiter, "was not granted within the time-out of " +
                              std::to_string(waiter.TimeoutMs() / 1000) + " s");
        in_turn_ = true;
        return true;
      }
      waiter.PumpEvents(kWaitSliceMs);
      continue;
    }
    lock_wait_began_ = 0;
    const std::int64_t wait = ReadEarliestStart() - NowUnixMillis();
    if (wait <= 0 || wait > kApiPacingLongestWaitMs) {
      in_turn_ = true;
      return true;
    }
    // Another process's request asked for the gap: wait for it without holding the turn.
    Unlock();
    local_earliest_ = MonotonicMillis() + static_cast<std::uint64_t>(wait);
  }
}

void CApiPacing::EndTurn(std::int64_t next_gap_ms) {
  next_gap_ms = std::max<std::int64_t>(next_gap_ms, 0);
  local_earliest_ = MonotonicMillis() + static_cast<std::uint64_t>(next_gap_ms);
  if (fd_ >= 0 && own_file_) {
    char text[kStampDigits + 2];
    std::snprintf(text, sizeof text, "%0*lld\n", kStampDigits,
                  static_cast<long long>(NowUnixMillis() + next_gap_ms));
    const std::size_t length = kStampDigits + 1;
    // When the write fails, another process's next request waits for the turn alone.
    [[maybe_unused]] const bool written =
        ::pwrite(fd_, text, length, 0) == static_cast<ssize_t>(length) &&
        ::ftruncate(fd_, static_cast<off_t>(length)) == 0;
  }
  Unlock();
}

}  // namespace larkspire
