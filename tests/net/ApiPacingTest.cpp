// Turns of one key shared through a lock file: never two requests in flight, the earliest start
// a turn leaves is kept by the next one (in another process too), and waiting ends with an
// abort.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace larkspire
