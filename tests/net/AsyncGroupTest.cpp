#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "net/AsyncGroup.h"
#include "net/CancelFlag.h"
#include "net/LiveConnection.h"
#include "net/NetworkWait.h"
#include "support/TestWaiter.h"

namespace larkspire {
namespace {

struct CFakeTask {
  CCancelFlag cancel;
  CLiveConnection live;
  std::function<int(CFakeTask&)> body;
};

int RunTask(CFakeTask& task) { return task.body(task); }

CFakeTask Task(std::function<int(CFakeTask&)> body) {
  CFakeTask task;
  task.body = std::move(body);
  return task;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits until the group tells the task to stop; counts the tasks that saw it.
std::function<int(CFakeTask&)> UntilCancelled(std::shared_ptr<std::atomic<int>> seen) {
  return [seen](CFakeTask& task) {
    while (!task.cancel.IsSet()) Sleep(5);
    ++*seen;
    return -1;
  };
}

template <typename Error>
std::string ThrownBy(std::function<void()> call) {
  try {
    call();
  } catch (const Error& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

using Group = CAsyncGroup<CFakeTask, int>;

TEST(AsyncGroup, ResultsComeBackInTaskOrderWhateverOrderTheyFinish) {
  CTestWaiter test;
  Group group(test.App());
  const std::vector<CFakeTask> tasks = {
      Task([](CFakeTask&) {
        Sleep(200);
        return 10;
      }),
      Task([](CFakeTask&) {
        Sleep(100);
        return 20;
      }),
      Task([](CFakeTask&) { return 30; }),
  };
  EXPECT_EQ(group.Run(tasks, test.App().TimeoutMs()), (std::vector<int>{10, 20, 30}));
  EXPECT_GT(test.Ui().pumps, 0);
}

// Started now and waited for later: a task that ended before the wait is collected without
// waiting for a wake-up; a group let go of unwaited tells its tasks to stop.
TEST(AsyncGroup, StartedGroupsAreCollectedLaterOrCancelledWhenLetGo) {
  CTestWaiter test;
  {
    Group group(test.App());
    auto ended = std::make_shared<std::atomic<bool>>(false);
    group.Start({Task([ended](CFakeTask&) {
      *ended = true;
      return 7;
    })});
    while (!*ended) Sleep(1);
    EXPECT_EQ(group.Wait(test.App().TimeoutMs()), std::vector<int>{7});
  }
  auto seen = std::make_shared<std::atomic<int>>(0);
  {
    Group group(test.App());
    group.Start({Task(UntilCancelled(seen)), Task(UntilCancelled(seen))});
  }
  for (int pass = 0; pass < 1000 && seen->load() < 2; ++pass) Sleep(5);
  EXPECT_EQ(seen->load(), 2);
}

TEST(AsyncGroup, OneFailingTaskOfThreeEndsTheWaitAndCancelsTheOthers) {
  CTestWaiter test;
  Group group(test.App());
  auto seen = std::make_shared<std::atomic<int>>(0);
  const std::vector<CFakeTask> tasks = {
      Task(UntilCancelled(seen)),
      Task([](CFakeTask&) -> int { throw CAppError("HttpGet: HTTP Get Failed."); }),
      Task(UntilCancelled(seen)),
  };
  EXPECT_EQ(ThrownBy<CAsyncError>([&] { group.Run(tasks, test.App().TimeoutMs()); }),
            "HttpGet: HTTP Get Failed.");
  EXPECT_EQ(seen->load(), 2);
}

TEST(AsyncGroup, TaskFailuresBecomeTheirTextBadAllocationOrUnknownException) {
  CTestWaiter test;
  const struct {
    std::function<int(CFakeTask&)> body;
    std::string message;
  } cases[] = {
      {[](CFakeTask&) -> int { throw std::runtime_error("plain failure"); }, "plain failure"},
      {[](CFakeTask&) -> int { throw std::bad_alloc(); }, "bad allocation"},
      {[](CFakeTask&) -> int { throw 42; }, "Unknown exception."},
  };
  for (const auto& c : cases) {
    Group group(test.App());
    EXPECT_EQ(ThrownBy<CAsyncError>([&] { group.Run({Task(c.body)}, test.App().TimeoutMs()); }),
              c.message);
  }
}

TEST(AsyncGroup, AbortBeatsATaskError) {
  CTestWaiter test;
  Group group(test.App());
  auto seen = std::make_shared<std::atomic<int>>(0);
  test.Ui().on_pump = [&] {
    group.SetError("HttpGet: HTTP Get Failed.");
    test.App().SetAbort(kAbortCanceled);
  };
  EXPECT_EQ(ThrownBy<CCanceledError>(
                [&] { group.Run({Task(UntilCancelled(seen))}, test.App().TimeoutMs()); }),
            "Operation canceled.");
  EXPECT_EQ(seen->load(), 1);
}

TEST(AsyncGroup, TimeOutCancelsTasksThatEndInTime) {
  CTestWaiter test(200);
  Group group(test.App());
  auto seen = std::make_shared<std::atomic<int>>(0);
  EXPECT_EQ(
      ThrownBy<CTimedoutError>([&] {
        group.Run({Task(UntilCancelled(seen)), Task(UntilCancelled(seen))}, test.App().TimeoutMs());
      }),
      "Operation timed out.");
  EXPECT_EQ(seen->load(), 2);
}

TEST(AsyncGroup, RaisingTheTimeOutWhileWaitingMovesTheDeadline) {
  CTestWaiter test;
  Group group(test.App());
  unsigned timeout_ms = 150;
  test.Ui().on_pump = [&] { timeout_ms = 20000; };
  const CFakeTask slow = Task([](CFakeTask& task) {
    for (int waited = 0; waited < 600; waited += 10) {
      if (task.cancel.IsSet()) return -1;
      Sleep(10);
    }
    return 7;
  });
  EXPECT_EQ(group.Run({slow}, timeout_ms), std::vector<int>{7});
}

TEST(AsyncGroup, WorkersThatRefuseToQuitAreAnInternalProblemAndEndSafelyLater) {
  CTestWaiter test(100);
  auto release = std::make_shared<std::atomic<bool>>(false);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  const CFakeTask stubborn = Task([release, ended](CFakeTask&) {
    while (!release->load()) Sleep(5);  // ignores its cancel flag
    ended->store(true);
    return 1;
  });
  std::vector<int> results = {99};
  const std::string error =
      WaitForGroup(test.App(), GroupKind::kHttp, std::vector<CFakeTask>{stubborn},
                   test.App().TimeoutMs(), 1, "Test: Operation timed out.", results);
  EXPECT_EQ(error, "One or more threads refuses to quit.");
  EXPECT_TRUE(results.empty());
  ASSERT_EQ(test.Ui().messages.size(), 1u);
  EXPECT_EQ(test.Ui().messages[0],
            "Larkspire\xAE - Problem: There is a problem with the internal state of Larkspire, "
            "please exit the application.");
  EXPECT_EQ(test.App().AbortReason(), kAbortCanceled);
  EXPECT_TRUE(test.App().AbortFlag());
  // The group is gone and unregistered; an abort now reaches nothing.
  test.App().SetAbort(kAbortCanceled);

  // The abandoned worker finishes on its own; what it touches outlived the group.
  release->store(true);
  while (!ended->load()) Sleep(5);
}

TEST(AsyncGroup, WindowTimerTimeOutGivesTheCallersTextAndClearsTheAbort) {
  CTestWaiter test(150);
  test.UseWindowTimer();
  auto seen = std::make_shared<std::atomic<int>>(0);
  std::vector<int> results;
  // The group itself would wait much longer; the window's timer ends the wait.
  const unsigned group_timeout_ms = 60000;
  EXPECT_EQ(
      WaitForGroup(test.App(), GroupKind::kSmtp, std::vector<CFakeTask>{Task(UntilCancelled(seen))},
                   group_timeout_ms, 1, "Test: Operation timed out.", results),
      "Test: Operation timed out.");
  EXPECT_EQ(test.App().AbortReason(), kAbortNone);
  EXPECT_FALSE(test.App().AbortFlag());
  EXPECT_EQ(seen->load(), 1);
  EXPECT_EQ(test.Ui().busy_ranges, std::vector<int>{1});
  EXPECT_EQ(test.Ui().busy_ends, 1);
}

}  // namespace
}  // namespace larkspire
