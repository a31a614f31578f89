// Turns of one key shared through a lock file: never two requests in flight, the earliest start
// a turn leaves is kept by the next one (in another process too), and waiting ends with an
// abort.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "net/ApiPacing.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "support/TestWaiter.h"

namespace larkspire {
namespace {

class ApiPacingTest : public ::testing::Test {
 protected:
  CTempDir dir_;
  const std::string lock_ = dir_.File("Larkspire_odp_test.lock");
};

TEST_F(ApiPacingTest, TwoHoldersOfTheLockFileNeverHaveATurnAtOnce) {
  // Two pacings on one file are two open descriptions of it, as two processes have.
  std::atomic<int> in_turn{0};
  std::atomic<int> overlaps{0};
  auto take_turns = [&] {
    CTestWaiter waiter;
    CApiPacing pacing(lock_);
    for (int i = 0; i < 40; ++i) {
      ASSERT_TRUE(pacing.BeginTurn(waiter));
      if (++in_turn > 1) ++overlaps;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      --in_turn;
      pacing.EndTurn(0);
    }
  };
  std::thread first(take_turns);
  std::thread second(take_turns);
  first.join();
  second.join();
  EXPECT_EQ(overlaps.load(), 0);
}

TEST_F(ApiPacingTest, AHeldTurnIsWaitedForWithTheWindowAlive) {
  CApiPacing other(lock_);
  CTestWaiter other_waiter;
  ASSERT_TRUE(other.BeginTurn(other_waiter));

  CTestWaiter waiter;
  CApiPacing pacing(lock_);
  waiter.Ui().on_pump = [&] {
    if (waiter.Ui().pumps == 3) other.EndTurn(0);
  };
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  EXPECT_GE(waiter.Ui().pumps, 3);
  EXPECT_TRUE(pacing.HasTurn());
  EXPECT_FALSE(other.HasTurn());
  pacing.EndTurn(0);
}

TEST_F(ApiPacingTest, TheGapATurnLeavesHoldsForTheNextHolderUntilAnAbort) {
  {
    CTestWaiter waiter;
    CApiPacing first(lock_);
    ASSERT_TRUE(first.BeginTurn(waiter));
    first.EndTurn(60000);
  }
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(lock_, stored));
  const long long earliest = std::stoll(stored);
  EXPECT_GE(earliest, NowUnixMillis() + 50000);

  // Another holder (a new process) waits for the gap; an abort ends the wait without a turn.
  CTestWaiter waiter;
  CApiPacing next(lock_);
  waiter.Ui().on_pump = [&] {
    if (waiter.Ui().pumps == 4) waiter.SetAbort(kAbortCanceled);
  };
  EXPECT_FALSE(next.BeginTurn(waiter));
  EXPECT_EQ(waiter.Ui().pumps, 4);
  EXPECT_FALSE(next.HasTurn());
}

TEST_F(ApiPacingTest, AStartFurtherAheadThanAnyWaitIsTakenForAClockThatJumped) {
  ASSERT_TRUE(SaveFileAtomically(
      lock_, std::to_string(NowUnixMillis() + kApiPacingLongestWaitMs + 60000) + "\n"));
  CTestWaiter waiter;
  CApiPacing pacing(lock_);
  EXPECT_TRUE(pacing.BeginTurn(waiter));
  EXPECT_EQ(waiter.Ui().pumps, 0);
  pacing.EndTurn(0);
}

TEST_F(ApiPacingTest, WithoutALockFileTheGapHoldsWithinTheProcess) {
  CTestWaiter waiter;
  CApiPacing pacing("");
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  EXPECT_TRUE(pacing.HasTurn());
  pacing.EndTurn(60000);
  waiter.Ui().on_pump = [&] {
    if (waiter.Ui().pumps == 2) waiter.SetAbort(kAbortCanceled);
  };
  EXPECT_FALSE(pacing.BeginTurn(waiter));
  EXPECT_FALSE(FileExists(lock_));
}

TEST_F(ApiPacingTest, ALockFileIsMadeNewForEveryUserOfTheDirectoryAndNeverThroughALink) {
  const mode_t old_mask = ::umask(022);
  {
    CTestWaiter waiter;
    CApiPacing pacing(lock_);
    ASSERT_TRUE(pacing.BeginTurn(waiter));
    pacing.EndTurn(0);
  }
  ::umask(old_mask);
  struct stat st {};
  ASSERT_EQ(::lstat(lock_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);

  // Another user of the directory planted a link to a file this user may write.
  const std::string target = dir_.File("someone-elses-file");
  ASSERT_TRUE(SaveFileAtomically(target, "not the program's to touch"));
  const std::string planted = dir_.File("Larkspire_odp_planted.lock");
  ASSERT_EQ(::symlink(target.c_str(), planted.c_str()), 0);
  CTestWaiter waiter;
  CApiPacing pacing(planted);
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  pacing.EndTurn(60000);
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(target, kept));
  EXPECT_EQ(kept, "not the program's to touch");
  ASSERT_EQ(waiter.Ui().log.size(), 1u);
  EXPECT_EQ(waiter.Ui().log[0], "Pacing lock " + planted +
                                    " cannot be opened (Too many levels of symbolic links); this "
                                    "process paces its requests alone\n");
}

TEST_F(ApiPacingTest, ATurnNotGrantedWithinTheTimeOutIsLoggedAndPacedAlone) {
  CTestWaiter holder_waiter;
  CApiPacing holder(lock_);
  ASSERT_TRUE(holder.BeginTurn(holder_waiter));  // and never ends it

  CTestWaiter waiter(1000);
  // Far past the time-out: a wait that has no end is ended here as a failure.
  waiter.Ui().on_pump = [&] {
    if (waiter.Ui().pumps == 400) waiter.SetAbort(kAbortCanceled);
  };
  CApiPacing pacing(lock_);
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  EXPECT_TRUE(pacing.HasTurn());
  ASSERT_EQ(waiter.Ui().log.size(), 1u);
  EXPECT_EQ(waiter.Ui().log[0], "Pacing lock " + lock_ +
                                    " was not granted within the time-out of 1 s; this process "
                                    "paces its requests alone\n");
  // Alone from then on: the gap still holds within the process, without the lock.
  pacing.EndTurn(0);
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  EXPECT_EQ(waiter.Ui().log.size(), 1u);
  pacing.EndTurn(0);
  holder.EndTurn(0);
}

TEST_F(ApiPacingTest, AnotherUsersLockFileGivesTurnsButItsTimeStampsAreNeitherReadNorWritten) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  const std::string stamp = std::to_string(NowUnixMillis() + 60000) + " and more\n";
  ASSERT_TRUE(SaveFileAtomically(lock_, stamp));
  ASSERT_EQ(::chown(lock_.c_str(), 65534, 65534), 0);
  CTestWaiter waiter;
  waiter.Ui().on_pump = [&] {
    if (waiter.Ui().pumps == 4) waiter.SetAbort(kAbortCanceled);
  };
  CApiPacing pacing(lock_);
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  EXPECT_EQ(waiter.Ui().pumps, 0);
  // While this turn holds the lock, a process of the owner's waits for it.
  CApiPacing other(lock_);
  CTestWaiter other_waiter;
  other_waiter.Ui().on_pump = [&] {
    if (other_waiter.Ui().pumps == 2) other_waiter.SetAbort(kAbortCanceled);
  };
  EXPECT_FALSE(other.BeginTurn(other_waiter));
  pacing.EndTurn(60000);
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(lock_, kept));
  EXPECT_EQ(kept, stamp);
}

TEST_F(ApiPacingTest, AStampIsRewrittenInPlaceWhateverTheFileHeldBefore) {
  ASSERT_TRUE(SaveFileAtomically(lock_, std::string(40, '9') + "\n"));
  CTestWaiter waiter;
  CApiPacing pacing(lock_);
  ASSERT_TRUE(pacing.BeginTurn(waiter));
  pacing.EndTurn(60000);
  std::string stored;
  ASSERT_TRUE(ReadWholeFile(lock_, stored));
  EXPECT_EQ(stored.size(), 21u);
  EXPECT_GE(std::stoll(stored), NowUnixMillis() + 50000);
}

}  // namespace
}  // namespace larkspire
