#include "platform/WorkerThreads.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace larkspire {
namespace {

class CWorkerThreads {
 public:
  void Run(std::function<void()> job) {
    bool queued = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (unclaimed_ > 0) {
        --unclaimed_;
        jobs_.push_back(std::move(job));
        queued = true;
      } else {
        ++kept_;
      }
    }
    if (queued) {
      // Told after the lock is let go of, so the thread woken does not wake only to wait for it.
      ready_.notify_one();
      return;
    }
    try {
      std::thread(&CWorkerThreads::Serve, this, std::move(job)).detach();
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      --kept_;
      throw;
    }
  }

  CWorkerThreadCounts Counts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return {kept_, unclaimed_};
  }

 private:
  void Serve(std::function<void()> job) {
    for (;;) {
      job();
      // What the job holds goes before the thread waits for the next.
      job = nullptr;
      std::unique_lock<std::mutex> lock(mutex_);
      ++unclaimed_;
      if (!ready_.wait_for(lock, std::chrono::milliseconds(kWorkerIdleMs),
                           [this] { return !jobs_.empty(); })) {
        --unclaimed_;
        --kept_;
        return;
      }
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  // Waiting threads less the jobs queued for them: a job is queued only while this is above
  // zero, so every queued job has a thread of its own to take it.
  int unclaimed_ = 0;
  int kept_ = 0;
};

CWorkerThreads& Threads() {
  // Never destroyed: kept threads may still wait on it while the program exits.
  static CWorkerThreads* const threads = new CWorkerThreads;
  return *threads;
}

}  // namespace

void RunOnWorkerThread(std::function<void()> job) { Threads().Run(std::move(job)); }

CWorkerThreadCounts WorkerThreadCounts() { return Threads().Counts(); }

}  // namespace larkspire
