// Work done off the window's thread: the window pumps its events while the job runs, an abort
// ends the wait without waiting for the job, and a failure of the job reaches the caller.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "net/NetWaiter.h"
#include "run/BackgroundJob.h"
#include "run/Run.h"
#include "support/ScriptedUi.h"

namespace larkspire {
namespace {

// A flag one thread raises and another waits for. The wait's bound only keeps a broken build
// from hanging the suite; no result depends on it.
struct CSignal {
  std::mutex mutex;
  std::condition_variable raised_cv;
  bool raised = false;
  void Raise() {
    std::lock_guard<std::mutex> lock(mutex);
    raised = true;
    raised_cv.notify_all();
  }
  bool IsRaised() {
    std::lock_guard<std::mutex> lock(mutex);
    return raised;
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    return raised_cv.wait_for(lock, std::chrono::seconds(60), [this] { return raised; });
  }
};

class BackgroundJobTest : public ::testing::Test {
 protected:
  BackgroundJobTest() { run_.SetUi(&ui_); }
  ~BackgroundJobTest() override { run_.SetUi(nullptr); }

  CMemorySettingsBackend backend_;
  CRun run_{backend_, "/nonexistent/larkspire"};
  CScriptedUi ui_;
};

TEST_F(BackgroundJobTest, TheJobRunsOnAnotherThreadWhileTheWindowPumpsItsEvents) {
  // The job cannot end before the window has pumped: only the pump lets it go on.
  auto pumped = std::make_shared<CSignal>();
  ui_.on_pump = [pumped] { pumped->Raise(); };
  auto ran_on = std::make_shared<std::thread::id>();
  auto went_on = std::make_shared<bool>(false);
  EXPECT_TRUE(RunInBackground(run_, [pumped, ran_on, went_on] {
    *ran_on = std::this_thread::get_id();
    *went_on = pumped->Wait();
  }));
  EXPECT_TRUE(*went_on);
  EXPECT_NE(*ran_on, std::this_thread::get_id());
  EXPECT_GE(ui_.pumps, 1);
}

TEST_F(BackgroundJobTest, AnAbortEndsTheWaitAndTheJobEndsOnItsOwnLater) {
  auto release = std::make_shared<CSignal>();
  auto ended = std::make_shared<CSignal>();
  ui_.on_pump = [this] { run_.SetAbort(kAbortCanceled); };
  EXPECT_FALSE(RunInBackground(run_, [release, ended] {
    release->Wait();
    ended->Raise();
  }));
  EXPECT_FALSE(ended->IsRaised());
  release->Raise();
  EXPECT_TRUE(ended->Wait());
}

TEST_F(BackgroundJobTest, WhatTheJobThrowsReachesTheCaller) {
  EXPECT_THROW(RunInBackground(run_, [] { throw std::runtime_error("out of memory"); }),
               std::runtime_error);
}

}  // namespace
}  // namespace larkspire
