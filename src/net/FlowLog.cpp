#include "net/FlowLog.h"

#include <cstdio>

#include "platform/Clock.h"

namespace larkspire {

void CFlowLog::SetEnabled(bool enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  enabled_ = enabled;
  if (!enabled) pending_.clear();
}

std::string CFlowLog::Prefix(uint64_t tick_ms) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d.%02d ", static_cast<int>((tick_ms / 1000) % 1000),
                static_cast<int>((tick_ms % 1000) / 10));
  return text;
}

void CFlowLog::Write(std::string_view text, int activity) {
  std::string line = Prefix(MonotonicMillis());
  line.append(text);
  line += "\r\n";
  std::lock_guard<std::mutex> lock(mutex_);
  if (!enabled_) return;
  pending_.push_back(FlowLine{activity, std::move(line)});
}

std::vector<FlowLine> CFlowLog::Drain() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<FlowLine> out;
  out.swap(pending_);
  return out;
}

}  // namespace larkspire
