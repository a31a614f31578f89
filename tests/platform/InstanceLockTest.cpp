#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

// flock belongs to the open file, so separate locks in one process contend like processes.
TEST(InstanceLock, OfManyStartersRacingForTheLockExactlyOneWins) {
  CTempDir dir;
  const std::string path = dir.File("Larkspire_lock.dat");
  constexpr int kStarters = 8;
  for (int round = 0; round < 25; ++round) {
    std::vector<CInstanceLock> locks(kStarters);
    std::atomic<int> ready{0};
    std::atomic<int> won{0};
    std::vector<std::thread> starters;
    for (CInstanceLock& lock : locks) {
      starters.emplace_back([&] {
        ++ready;
        while (ready < kStarters) std::this_thread::yield();
        if (lock.Acquire(path) == LockOutcome::kHeld && lock.Held()) ++won;
      });
    }
    for (std::thread& starter : starters) starter.join();
    EXPECT_EQ(won, 1) << "round " << round;
  }
}

TEST(InstanceLock, AnotherProcessIsRefusedWhileHeldAndLetInAfterTheHolderEnds) {
  CTempDir dir;
  const std::string path = dir.File("Larkspire_lock.dat");
  auto try_in_child = [&] {
    const pid_t child = ::fork();
    if (child == 0) {
      CInstanceLock lock;
      ::_exit(lock.Acquire(path) == LockOutcome::kHeld ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  {
    CInstanceLock holder;
    ASSERT_EQ(holder.Acquire(path), LockOutcome::kHeld);
    EXPECT_FALSE(try_in_child());
  }
  EXPECT_TRUE(try_in_child());
  // The holder's end never deletes the file another starter may have open.
  EXPECT_EQ(::access(path.c_str(), F_OK), 0);
}

TEST(InstanceLock, AKilledHolderLeavesTheLockFree) {
  CTempDir dir;
  const std::string path = dir.File("Larkspire_lock.dat");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t holder = ::fork();
  if (holder == 0) {
    CInstanceLock lock;
    const char byte = lock.Acquire(path) == LockOutcome::kHeld ? 'y' : 'n';
    [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
    for (;;) ::pause();
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  CInstanceLock second;
  EXPECT_EQ(second.Acquire(path), LockOutcome::kHeldElsewhere);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(second.Acquire(path), LockOutcome::kHeld);
  ::close(ready[0]);
  ::close(ready[1]);
}

// The outcome of Acquire in a child process run as another user (nobody) when this test runs
// as root, who may open any file; otherwise as this user with the file made read-only, which
// refuses writing the same way.
LockOutcome AcquireAsAnotherUser(const std::string& path) {
  int report[2];
  EXPECT_EQ(::pipe(report), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(1);
    CInstanceLock lock;
    const char outcome = static_cast<char>(lock.Acquire(path));
    [[maybe_unused]] ssize_t n = ::write(report[1], &outcome, 1);
    ::_exit(0);
  }
  ::close(report[1]);
  char outcome = -1;
  EXPECT_EQ(::read(report[0], &outcome, 1), 1);
  ::close(report[0]);
  ::waitpid(child, nullptr, 0);
  return static_cast<LockOutcome>(outcome);
}

class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

TEST(InstanceLock, AUserWhoMayNotWriteTheFileStillTakesPartInTheLocking) {
  CTempDir dir;
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
  const std::string path = dir.File("Larkspire_lock.dat");
  CInstanceLock holder;
  {
    // Whoever starts first, with whatever umask, makes a file the others can open.
    ScopedUmask strict(077);
    ASSERT_EQ(holder.Acquire(path), LockOutcome::kHeld);
  }
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  if (::getuid() != 0) {
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  }
  EXPECT_EQ(AcquireAsAnotherUser(path), LockOutcome::kHeldElsewhere);
  holder.Release();
  EXPECT_EQ(AcquireAsAnotherUser(path), LockOutcome::kHeld);
}

TEST(InstanceLock, NoLockCanBeHadThroughALinkAPipeOrAMissingDirectory) {
  CTempDir dir;
  ASSERT_TRUE(SaveFileAtomically(dir.File("target"), "someone else's file"));
  ASSERT_EQ(::symlink(dir.File("target").c_str(), dir.File("link").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("nowhere").c_str(), dir.File("dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
  const struct {
    const char* name;
    int error;
  } cases[] = {
      {"link", ELOOP},
      {"dangling", ELOOP},
      {"fifo", EINVAL},
      {"missing/Larkspire_lock.dat", ENOENT},
  };
  for (const auto& c : cases) {
    CInstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir.File(c.name)), LockOutcome::kUnavailable) << c.name;
    EXPECT_EQ(lock.Error(), c.error) << c.name;
    EXPECT_FALSE(lock.Held()) << c.name;
  }
  std::string target;
  ASSERT_TRUE(ReadWholeFile(dir.File("target"), target));
  EXPECT_EQ(target, "someone else's file");
  EXPECT_FALSE(FileExists(dir.File("nowhere")));
}

}  // namespace
}  // namespace larkspire
