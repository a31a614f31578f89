// The second link of the fixture chain: a test run that talks to loopback servers. On top of
// the core test run it has the flow log switched on, a short fixed time-out (unless none is
// given, as the client's tests do), the flow lines at hand, and the window's timer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/FlowLog.h"
#include "support/TestApp.h"

namespace larkspire {

template <typename AppType>
class CNetTestAppOf : public CTestAppOf<AppType> {
 public:
  explicit CNetTestAppOf(std::optional<unsigned> timeout_ms = 5000,
                         std::string program_path = "/nonexistent/larkspire",
                         const TestSettings& settings = {})
      : CTestAppOf<AppType>(std::move(program_path), settings) {
    this->App().FlowLog().SetEnabled(true);
    if (timeout_ms) this->App().FixTimeout(*timeout_ms);
  }

  // Drains the flow log into the lines seen so far and returns them all.
  const std::vector<FlowLine>& Flow() {
    for (FlowLine& line : this->App().FlowLog().Drain()) flow_.push_back(std::move(line));
    return flow_;
  }
  // The flow-log texts without their timestamps and line ends.
  std::vector<std::string> FlowTexts() {
    std::vector<std::string> texts;
    for (const FlowLine& line : Flow()) texts.push_back(line.text.substr(7, line.text.size() - 9));
    return texts;
  }
  bool FlowHas(const std::string& text) {
    for (const std::string& line : FlowTexts()) {
      if (line == text) return true;
    }
    return false;
  }
  bool FlowContains(const std::string& fragment) {
    for (const std::string& line : FlowTexts()) {
      if (line.find(fragment) != std::string::npos) return true;
    }
    return false;
  }

  // The window's timer: abort reason 2 once the network wait has lasted the time-out.
  void UseWindowTimer() {
    this->Ui().on_pump = [this] {
      if (this->App().TimeoutElapsed()) this->App().SetAbort(kAbortTimedOut);
    };
  }

 private:
  std::vector<FlowLine> flow_;
};

using CNetTestApp = CNetTestAppOf<CRun>;

}  // namespace larkspire
