// The run's docket: read at the start from the logging directory, saved after a change, and a
// damaged file refused once and never overwritten.
#include <gtest/gtest.h>

#include "docket/DocketFile.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "run/Run.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class DocketInRunTest : public ::testing::Test {
 protected:
  DocketInRunTest() {
    run_.SetUi(&ui_);
    run_.Settings().LogDir.Set(dir_.Path());
    run_.Rules().text = ChooseRulesText("");
  }
  ~DocketInRunTest() override { run_.SetUi(nullptr); }

  std::string Path() const { return dir_.File(kDocketFileName); }
  std::string Bytes() const {
    std::string bytes;
    ReadWholeFile(Path(), bytes);
    return bytes;
  }
  bool OpenRejection(CRun& run) {
    CEntryFacts entry;
    entry.entry_key = "10/123,456";
    entry.application_number = entry.entry_key;
    return run.Docket().ApplyLastEvent(
        run.DeadlineRules(), entry,
        CStatusEvent{ParseDayNumber("2024-03-01"), "", "Mail Non-Final Rejection"});
  }

  CTempDir dir_;
  CMemorySettingsBackend backend_;
  CRun run_{backend_, "/nonexistent/larkspire"};
  CScriptedUi ui_;
};

TEST_F(DocketInRunTest, ASavedDocketIsReadByTheNextRun) {
  run_.LoadDocketFile();
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_FALSE(FileExists(Path()));
  ASSERT_TRUE(OpenRejection(run_));
  ASSERT_TRUE(run_.SaveDocketNow());

  CMemorySettingsBackend backend;
  CRun next(backend, "/nonexistent/larkspire");
  next.Settings().LogDir.Set(dir_.Path());
  next.LoadDocketFile();
  EXPECT_FALSE(next.DocketReadOnly());
  EXPECT_EQ(next.Docket().All(), run_.Docket().All());
}

TEST_F(DocketInRunTest, ADamagedFileIsShownOnceAndNeverOverwritten) {
  const std::string damaged = std::string(kDocketFileHeader) + "\r\nnot a deadline\r\n";
  ASSERT_TRUE(SaveFileAtomically(Path(), damaged));
  run_.LoadDocketFile();
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].text.find(Path()), std::string::npos) << ui_.messages[0].text;
  EXPECT_TRUE(run_.DocketReadOnly());
  ASSERT_TRUE(OpenRejection(run_));
  EXPECT_FALSE(run_.SaveDocketNow());
  EXPECT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(Bytes(), damaged);
}

TEST_F(DocketInRunTest, DeadlineRulesFollowTheRulesInUse) {
  EXPECT_FALSE(run_.DeadlineRules().rules.empty());
  run_.Rules().text = "version: 9.9.99.999\r\nend-of-rules\r\n";
  EXPECT_TRUE(run_.DeadlineRules().rules.empty());
}

}  // namespace
}  // namespace larkspire
