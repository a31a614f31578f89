#include "run/BackgroundJob.h"

#include <exception>
#include <memory>
#include <mutex>
#include <system_error>

#include "net/AsyncGroup.h"
#include "platform/WorkerThreads.h"
#include "run/Run.h"

namespace larkspire {
namespace {

// Shared by the wait and the worker, which may outlive the wait.
struct CJobState {
  std::mutex mutex;
  bool ended = false;
  std::exception_ptr failure;  // what the job threw, thrown again by the wait
  CRun* waiting = nullptr;     // woken when the job ends; null once the wait is over
};

}  // namespace

bool RunInBackground(CRun& run, std::function<void()> job) {
  const auto state = std::make_shared<CJobState>();
  const auto work = std::make_shared<std::function<void()>>(std::move(job));
  state->waiting = &run;
  try {
    RunOnWorkerThread([state, work] {
      std::exception_ptr failure;
      try {
        (*work)();
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(state->mutex);
      state->ended = true;
      state->failure = failure;
      if (state->waiting != nullptr) state->waiting->WakeUp();
    });
  } catch (const std::system_error&) {
    (*work)();
    return true;
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (state->failure) std::rethrow_exception(state->failure);
      if (state->ended || run.AbortFlag()) {
        state->waiting = nullptr;
        return state->ended;
      }
    }
    run.PumpEvents(kWaitSliceMs);
  }
}

}  // namespace larkspire
