// The TCP/IP flow log sink: worker threads write timestamped lines, the user-interface thread
// drains them into the TCP/IP window. Writing never blocks a worker for more than a short lock.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

enum FlowActivity : int { kFlowStatus = 0, kFlowSent = 1, kFlowReceived = 2 };

struct FlowLine {
  int activity;
  std::string text;  // prefix, text and "\r\n"
};

class CFlowLog {
 public:
  // Lines are kept only while enabled (the main window exists).
  void SetEnabled(bool enabled);
  // "%03d.%02d " from the monotonic clock, then the text and CR LF.
  void Write(std::string_view text, int activity);
  std::vector<FlowLine> Drain();
  // The timestamp prefix for a millisecond tick count.
  static std::string Prefix(uint64_t tick_ms);

 private:
  std::mutex mutex_;
  bool enabled_ = false;
  std::vector<FlowLine> pending_;
};

}  // namespace larkspire
