// A group of network tasks, each on a worker thread of its own (a kept one when one is idle, see
// platform/WorkerThreads.h), waited for on the user-interface thread. The wait keeps the window
// alive (the waiter's PumpEvents every pass), enforces the time-out, reacts to the application's
// abort flag, and turns the outcome into the results in task order or one of the CAppError
// subclasses.
//
// A task type provides a cancel flag `cancel` (CCancelFlag), a CLiveConnection `live`, and a
// function `RunTask(Task&)` found by argument-dependent lookup that returns the result or
// throws.
//
// Workers are never joined. Everything a worker touches after the group may have gone (the
// lock, the slots, the results, the error state) lives in one shared block that each worker
// holds a reference to, so a worker abandoned after a time-out ends safely whenever it ends.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "net/AppError.h"
#include "net/NetWaiter.h"
#include "platform/Clock.h"
#include "platform/WorkerThreads.h"

namespace larkspire {

// How long cancelled workers get to end before the group reports them as stuck.
inline constexpr unsigned kWorkerGraceMs = 5000;
inline constexpr int kWaitSliceMs = 50;

template <typename Task, typename Result>
class CAsyncGroup : public ICancelable {
 public:
  explicit CAsyncGroup(INetWaiter& owner) : owner_(owner), shared_(std::make_shared<Shared>()) {}
  // A group let go of before its wait ended leaves its workers cancelled and abandoned.
  ~CAsyncGroup() override { DetachAll(); }
  CAsyncGroup(const CAsyncGroup&) = delete;
  CAsyncGroup& operator=(const CAsyncGroup&) = delete;

  // Runs every task on a thread of its own and waits. User-interface thread only.
  std::vector<Result> Run(const std::vector<Task>& tasks, const unsigned& timeout_ms) {
    Start(tasks);
    return Wait(timeout_ms);
  }
  // Puts every task on a thread of its own and returns at once; Wait collects them, once.
  void Start(const std::vector<Task>& tasks);
  // Waits for the started tasks. The time-out counts from here and is re-read on every pass,
  // so raising it while the group waits moves the deadline.
  std::vector<Result> Wait(const unsigned& timeout_ms);

  // Cancels the live connection of every task still attached (called through SetAbort).
  void CancelAll() override;

  // Records a failure; a later one replaces the message.
  void SetError(const std::string& message);

  // Whether every started task has ended, so Wait would not wait. Never waits itself.
  bool AllEnded();

 private:
  struct Shared;

  // One per task, owned by its thread, which deletes it when the task ends.
  struct CAsyncWorker {
    Shared* group;  // null once the group has let go of this worker
    Task task;
    std::shared_ptr<Shared> lock;  // keeps the shared block alive for this worker
    std::size_t index;
  };

  struct Shared {
    std::mutex mutex;
    std::vector<CAsyncWorker*> slots;  // null once a worker has finished or been detached
    std::vector<Result> results;
    bool error = false;
    std::string message;
    int running = 0;  // workers whose task has not yet ended
    // Set while Run waits: ends the wait's current slice at once when there is news.
    INetWaiter* waiting = nullptr;
  };

  static void WorkerBody(CAsyncWorker* worker);
  static void RecordError(Shared& shared, const std::string& message);
  bool ErrorFlag();
  // Lets go of every worker still attached and tells its task to stop.
  void DetachAll();

  INetWaiter& owner_;
  std::shared_ptr<Shared> shared_;
};

template <typename Task, typename Result>
void CAsyncGroup<Task, Result>::RecordError(Shared& shared, const std::string& message) {
  shared.error = true;
  shared.message = message;
}

template <typename Task, typename Result>
void CAsyncGroup<Task, Result>::SetError(const std::string& message) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  RecordError(*shared_, message);
}

template <typename Task, typename Result>
bool CAsyncGroup<Task, Result>::ErrorFlag() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->error;
}

template <typename Task, typename Result>
bool CAsyncGroup<Task, Result>::AllEnded() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->running == 0;
}

template <typename Task, typename Result>
void CAsyncGroup<Task, Result>::DetachAll() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  for (CAsyncWorker* worker : shared_->slots) {
    if (worker == nullptr) continue;
    worker->group = nullptr;
    worker->task.cancel.Set(1);
  }
  shared_->slots.clear();
}

template <typename Task, typename Result>
void CAsyncGroup<Task, Result>::CancelAll() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  for (CAsyncWorker* worker : shared_->slots) {
    if (worker != nullptr && worker->group != nullptr) worker->task.live.Cancel();
  }
}

template <typename Task, typename Result>
void CAsyncGroup<Task, Result>::WorkerBody(CAsyncWorker* worker) {
  const std::shared_ptr<Shared> shared = worker->lock;
  bool failed = false;
  std::string message;
  Result result{};
  try {
    result = RunTask(worker->task);
  } catch (const std::exception& error) {
    failed = true;
    message = ErrorText(error);
  } catch (...) {
    failed = true;
    message = "Unknown exception.";
  }
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (worker->group != nullptr) {
      if (failed) {
        RecordError(*shared, message);
      } else {
        shared->results[worker->index] = std::move(result);
      }
      shared->slots[worker->index] = nullptr;
      worker->group = nullptr;
      if (failed && shared->waiting != nullptr) shared->waiting->WakeUp();
    }
  }
  // The task (and anything it still holds) goes before the worker counts as ended.
  delete worker;
  std::lock_guard<std::mutex> lock(shared->mutex);
  if (--shared->running == 0 && shared->waiting != nullptr) shared->waiting->WakeUp();
}

template <typename Task, typename Result>
void CAsyncGroup<Task, Result>::Start(const std::vector<Task>& tasks) {
  const std::size_t count = tasks.size();
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->slots.assign(count, nullptr);
    shared_->results.assign(count, Result{});
  }
  try {
    for (std::size_t i = 0; i < count; ++i) {
      auto* worker = new CAsyncWorker{shared_.get(), tasks[i], shared_, i};
      {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->slots[i] = worker;
        ++shared_->running;
      }
      try {
        RunOnWorkerThread([worker] { WorkerBody(worker); });
      } catch (const std::system_error&) {
        {
          std::lock_guard<std::mutex> lock(shared_->mutex);
          shared_->slots[i] = nullptr;
          --shared_->running;
        }
        delete worker;
        SetError("Can't create thread.");
      }
    }
  } catch (...) {
    DetachAll();
    throw;
  }
}

template <typename Task, typename Result>
std::vector<Result> CAsyncGroup<Task, Result>::Wait(const unsigned& timeout_ms) {
  {
    // A worker that ended before this point woke nobody; AllEnded below finds it.
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->waiting = &owner_;
  }
  bool done = false;
  bool timed_out = false;
  try {
    const uint64_t start = MonotonicMillis();
    while (!owner_.AbortFlag() && !ErrorFlag()) {
      if (MonotonicMillis() - start >= timeout_ms) {
        timed_out = true;
        break;
      }
      if (AllEnded()) {
        done = true;
        break;
      }
      owner_.PumpEvents(kWaitSliceMs);
    }
  } catch (...) {
    DetachAll();
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->waiting = nullptr;
    throw;
  }
  DetachAll();

  if (!done) {
    const uint64_t grace_start = MonotonicMillis();
    while (MonotonicMillis() - grace_start < kWorkerGraceMs) {
      if (AllEnded()) {
        done = true;
        break;
      }
      owner_.PumpEvents(kWaitSliceMs);
    }
  }

  std::vector<Result> results;
  bool error = false;
  std::string message;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->waiting = nullptr;
    results = std::move(shared_->results);
    error = shared_->error;
    message = shared_->message;
  }
  if (!done) throw CThreadsNotDoneError();
  if (owner_.AbortFlag()) throw CCanceledError();
  if (timed_out) throw CTimedoutError();
  if (error) throw CAsyncError(message);
  return results;
}

}  // namespace larkspire
