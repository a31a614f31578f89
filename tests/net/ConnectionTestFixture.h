// The fixture of the connection and name look-up tests: a connection factory with a flow log
// whose lines the tests read back, and the message of the error a call raises.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/AppError.h"
#include "net/CancelFlag.h"
#include "net/Connection.h"
#include "net/FlowLog.h"

namespace larkspire {

// Far more than any of these tests receives.
constexpr CReceiveCap kRoomyCap{1 << 20, "too much"};

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() { flow_.SetEnabled(true); }

  std::unique_ptr<CConnection> Open() {
    return std::make_unique<CConnection>(&cancel_, &flow_, "T: ");
  }

  // Texts of the flow-log lines so far, without timestamps and line ends.
  std::vector<std::string> Texts() {
    for (FlowLine& line : flow_.Drain()) lines_.push_back(std::move(line));
    std::vector<std::string> texts;
    for (const FlowLine& line : lines_) texts.push_back(line.text.substr(7, line.text.size() - 9));
    return texts;
  }
  std::vector<int> Activities() {
    Texts();
    std::vector<int> activities;
    for (const FlowLine& line : lines_) activities.push_back(line.activity);
    return activities;
  }
  bool Has(const std::string& text) {
    for (const std::string& t : Texts()) {
      if (t == text) return true;
    }
    return false;
  }

  // The message of the CAppError the call throws, or "" when it does not throw.
  template <typename Call>
  static std::string ErrorOf(Call call) {
    try {
      call();
    } catch (const CAppError& error) {
      return error.what();
    }
    return "";
  }

  CCancelFlag cancel_;
  CFlowLog flow_;
  std::vector<FlowLine> lines_;
};

}  // namespace larkspire
