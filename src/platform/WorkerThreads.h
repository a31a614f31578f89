// Threads kept for work that comes in bursts, such as the network tasks of an update run: a job
// runs on a thread an earlier job left idle, or on a new one when none is idle. A new thread
// per job costs more than its creation on a busy machine: the scheduler puts a new thread
// behind the work already running (about a millisecond per job on two loaded cores), while a
// thread woken from its wait runs at once.
#pragma once

#include <functional>

namespace larkspire {

// How long a kept thread waits for another job before it ends.
inline constexpr int kWorkerIdleMs = 30000;

// Runs job on an idle kept thread or else on a new one, so a job never waits for another to
// end. The job must not throw. Throws std::system_error when a thread cannot be created.
void RunOnWorkerThread(std::function<void()> job);

struct CWorkerThreadCounts {
  int kept = 0;  // threads alive, busy or idle
  int idle = 0;  // of those, the ones waiting for a job
};
CWorkerThreadCounts WorkerThreadCounts();

}  // namespace larkspire
