#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/WorkerThreads.h"

namespace larkspire {
namespace {

// What the jobs of a test report, and a gate they can wait at. The jobs share it, so it outlives
// a job still returning when the test ends.
struct CJobState {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::thread::id> ran_on;
  bool open = false;
};

struct CJobs {
  std::shared_ptr<CJobState> state = std::make_shared<CJobState>();

  // Waits (a generous bound: a hang fails instead of stopping the test run) until count jobs
  // have started; returns their threads.
  std::vector<std::thread::id> WaitForStarts(std::size_t count) {
    std::unique_lock<std::mutex> lock(state->mutex);
    state->changed.wait_for(lock, std::chrono::seconds(20),
                            [&] { return state->ran_on.size() >= count; });
    return state->ran_on;
  }
  std::function<void()> Job(bool wait_at_gate) {
    return [state = state, wait_at_gate] {
      std::unique_lock<std::mutex> lock(state->mutex);
      state->ran_on.push_back(std::this_thread::get_id());
      state->changed.notify_all();
      if (wait_at_gate) state->changed.wait(lock, [&] { return state->open; });
    };
  }
  void Open() {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->open = true;
    state->changed.notify_all();
  }
};

// Waits until every kept thread is idle; returns how many there are.
int WaitUntilAllIdle() {
  for (int tries = 0; tries < 20000; ++tries) {
    const CWorkerThreadCounts counts = WorkerThreadCounts();
    if (counts.idle == counts.kept) return counts.kept;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ADD_FAILURE() << "kept threads still busy";
  return -1;
}

TEST(WorkerThreads, JobsStartedTogetherRunTogetherEachOnAThreadOfItsOwn) {
  // Some kept threads idle from earlier jobs, and more jobs than those: none may wait for another.
  CJobs warm_up;
  for (int i = 0; i < 2; ++i) RunOnWorkerThread(warm_up.Job(false));
  ASSERT_EQ(warm_up.WaitForStarts(2).size(), 2u);
  ASSERT_GE(WaitUntilAllIdle(), 1);

  CJobs jobs;
  constexpr std::size_t kJobs = 6;
  for (std::size_t i = 0; i < kJobs; ++i) RunOnWorkerThread(jobs.Job(true));
  const std::vector<std::thread::id> ran_on = jobs.WaitForStarts(kJobs);
  jobs.Open();
  EXPECT_EQ(std::set<std::thread::id>(ran_on.begin(), ran_on.end()).size(), kJobs);
  WaitUntilAllIdle();
}

TEST(WorkerThreads, AJobWhileThreadsAreIdleTakesOneOfThemAndLeavesItIdleAgain) {
  CJobs earlier;
  RunOnWorkerThread(earlier.Job(false));
  ASSERT_EQ(earlier.WaitForStarts(1).size(), 1u);
  const int kept = WaitUntilAllIdle();
  ASSERT_GE(kept, 1);

  CJobs jobs;
  RunOnWorkerThread(jobs.Job(true));
  const std::vector<std::thread::id> ran_on = jobs.WaitForStarts(1);
  const CWorkerThreadCounts while_running = WorkerThreadCounts();
  jobs.Open();
  ASSERT_EQ(ran_on.size(), 1u);
  EXPECT_EQ(while_running.kept, kept);
  EXPECT_EQ(while_running.idle, kept - 1);
  EXPECT_NE(ran_on[0], std::this_thread::get_id());
  EXPECT_EQ(WaitUntilAllIdle(), kept);
}

}  // namespace
}  // namespace larkspire
