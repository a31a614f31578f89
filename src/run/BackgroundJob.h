// Work that is no network wait but may take seconds (reading a large file the user picked), done
// on a worker thread while the window goes on handling its events the way a network wait keeps
// it alive.
#pragma once

#include <functional>

namespace larkspire {

class CRun;

// Runs job on a worker thread and pumps the run's events until it has ended (true) or an abort
// came first (false: Cancel, or the window closing). After an abort the job still runs to its
// end on its own, so it must own everything it touches (hold it by shared pointer). When no
// thread can be had, the job runs here and the window waits for it. What the job throws is
// thrown here once it has ended.
bool RunInBackground(CRun& run, std::function<void()> job);

}  // namespace larkspire
