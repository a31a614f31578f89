#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "run/Log.h"
#include "run/Settings.h"
#include "run/TextProgress.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class TextProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_dir_.Set(dir_.Path());
    terminal_ = std::tmpfile();
    ASSERT_NE(terminal_, nullptr);
  }
  void TearDown() override { std::fclose(terminal_); }

  CTextProgress Make(std::FILE* terminal, int columns = 80) {
    return CTextProgress(log_, terminal, columns, [this] { return now_; });
  }

  // Everything written to the terminal so far.
  std::string Terminal() {
    std::fflush(terminal_);
    std::rewind(terminal_);
    std::string text;
    for (int c; (c = std::fgetc(terminal_)) != EOF;) text += static_cast<char>(c);
    return text;
  }

  // The log's records without their time stamps and line ends.
  std::vector<std::string> LogRecords() {
    std::string bytes;
    ReadWholeFile(log_.Path(), bytes);
    std::vector<std::string> records;
    for (std::size_t start = 0; start < bytes.size();) {
      const std::size_t end = bytes.find("\r\n", start);
      records.push_back(bytes.substr(start + 21, end - start - 21));
      start = end + 2;
    }
    return records;
  }

  CTempDir dir_;
  CMemorySettingsBackend backend_;
  CSetting log_dir_{backend_, "LogDir"};
  CLog log_{log_dir_};
  std::FILE* terminal_ = nullptr;
  uint64_t now_ = 5000;
};

TEST_F(TextProgressTest, LineShowsCountRateAndStatusCutToTheWidth) {
  struct Case {
    int columns;
    std::string status;
    std::string line;
  };
  const std::vector<Case> cases = {
      {80, "Updating ST-00811", "Update Status (All): 812 of 2000, 81.2/s, Updating ST-00811"},
      // The window doubles "&" in its labels; the terminal shows it once.
      {80, "Updating Smith && Jones &&& Co",
       "Update Status (All): 812 of 2000, 81.2/s, "
       "Updating Smith & Jones && Co"},
      {80, "", "Update Status (All): 812 of 2000, 81.2/s"},
      // One column is left free, so the cursor never wraps to a new line.
      {30, "Updating ST-00811", "Update Status (All): 812 of 2"},
  };
  for (const Case& c : cases) {
    CTextProgress progress = Make(nullptr, c.columns);
    progress.Begin("Update Status (All)", 2000);
    now_ += 10000;
    progress.SetProgress(812);
    progress.SetStatusText(c.status);
    EXPECT_EQ(progress.Line(), c.line) << c.status << " in " << c.columns << " columns";
  }
}

TEST_F(TextProgressTest, TerminalLineIsRedrawnInPlaceAtMostTenTimesASecond) {
  CTextProgress progress = Make(terminal_, 40);
  progress.Begin("Sending E-Mail", 3);
  const std::string first =
      "\r" + std::string("Sending E-Mail: 0 of 3, 0.0/s") + std::string(10, ' ');
  EXPECT_EQ(Terminal(), first);
  now_ += kTextProgressRedrawMs - 1;
  progress.SetProgress(1);
  progress.SetStatusText("s11_100001.tmp");
  EXPECT_EQ(Terminal(), first) << "redrawn within the interval";
  now_ += 1;
  progress.SetProgress(2);
  const std::string second = Terminal().substr(first.size());
  EXPECT_EQ(second, "\rSending E-Mail: 2 of 3, 20.0/s, s11_100");
  // The end is drawn whatever the interval, and the line ended.
  progress.SetProgress(3);
  progress.End();
  const std::string last = Terminal().substr(first.size() + second.size());
  EXPECT_EQ(last, "\rSending E-Mail: 3 of 3, 30.0/s, s11_100\n");
  // Nothing after the end.
  progress.SetProgress(4);
  progress.SetStatusText("late");
  EXPECT_EQ(Terminal().size(), first.size() + second.size() + last.size());
}

TEST_F(TextProgressTest, BreakLineEndsADrawnLineOnce) {
  CTextProgress progress = Make(terminal_, 40);
  progress.BreakLine();
  EXPECT_EQ(Terminal(), "") << "no line drawn yet";
  progress.Begin("Update Status (All)", 10);
  progress.BreakLine();
  progress.BreakLine();
  const std::string text = Terminal();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  EXPECT_EQ(text.back(), '\n');
  // The next redraw starts on the new line at once, whatever the interval.
  progress.SetProgress(1);
  EXPECT_EQ(Terminal().substr(text.size(), 1), "\r");
  progress.End();
  EXPECT_EQ(Terminal().back(), '\n');
}

TEST_F(TextProgressTest, LogHasBeginningEveryHalfMinuteAndEnd) {
  CTextProgress progress = Make(nullptr);
  progress.Begin("Update Status (All)", 2000);
  now_ += kTextProgressLogMs - 1;
  progress.SetProgress(500);
  now_ += 1;
  progress.SetProgress(600);
  now_ += 1000;
  progress.SetProgress(700);
  now_ += kTextProgressLogMs;
  progress.SetProgress(2000);
  progress.End();
  EXPECT_EQ(LogRecords(), (std::vector<std::string>{
                              "Progress 'Update Status (All)' 0 of 2000",
                              "Progress 'Update Status (All)' 600 of 2000, 20.0 a second",
                              "Progress 'Update Status (All)' 2000 of 2000, 32.8 a second",
                              "Progress 'Update Status (All)' 2000 of 2000 in 61.0 s, "
                              "32.8 a second",
                          }));
}

TEST_F(TextProgressTest, InnerPeriodStartsAfreshWithoutTerminal) {
  CTextProgress progress = Make(nullptr);
  progress.Begin("Update Status (All)", 10);
  now_ += 2000;
  progress.SetProgress(4);
  progress.Begin("Update Master List", 3);
  EXPECT_EQ(progress.Line(), "Update Master List: 0 of 3, 0.0/s");
  progress.End();
  EXPECT_EQ(LogRecords().back(), "Progress 'Update Master List' 0 of 3 in 0.0 s, 0.0 a second");
}

}  // namespace
}  // namespace larkspire
