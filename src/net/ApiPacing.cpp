#include "net/ApiPacing.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

#include "net/AsyncGroup.h"
#include "net/NetWaiter.h"
#include "platform/Clock.h"

namespace larkspire {

CApiPacing::~CApiPacing() { Unlock(); }

void CApiPacing::Unlock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases its flock
  fd_ = -1;
  in_turn_ = false;
}

std::int64_t CApiPacing::ReadEarliestStart() const {
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
      return false;
    }
    const std::uint64_t now = MonotonicMillis();
    if (now < local_earliest_) {
      waiter.PumpEvents(
          static_cast<int>(std::min<std::uint64_t>(local_earliest_ - now, kWaitSliceMs)));
      continue;
    }
    if (lock_path_.empty()) {
      in_turn_ = true;
      return true;
    }
    if (fd_ < 0) fd_ = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file that cannot be made paces this process alone rather than stopping it.
    if (fd_ < 0) {
      in_turn_ = true;
      return true;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      waiter.PumpEvents(kWaitSliceMs);
      continue;
    }
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
  if (fd_ >= 0) {
    const std::string text = std::to_string(NowUnixMillis() + next_gap_ms) + "\n";
    // When the write fails, another process's next request waits for the turn alone.
    [[maybe_unused]] const bool written =
        ::ftruncate(fd_, 0) == 0 &&
        ::pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size());
  }
  Unlock();
}

}  // namespace larkspire
