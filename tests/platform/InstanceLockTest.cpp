#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

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
        if (lock.Acquire(path) && lock.Held()) ++won;
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
      ::_exit(lock.Acquire(path) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  {
    CInstanceLock holder;
    ASSERT_TRUE(holder.Acquire(path));
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
    const char byte = lock.Acquire(path) ? 'y' : 'n';
    [[maybe_unused]] ssize_t n = ::write(ready[1], &byte, 1);
    for (;;) ::pause();
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  CInstanceLock second;
  EXPECT_FALSE(second.Acquire(path));
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(second.Acquire(path));
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace larkspire
