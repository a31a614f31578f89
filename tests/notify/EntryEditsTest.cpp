// The window's edits save patent.dat at once, so a kill after an edit loses neither the edit
// nor leaves its notification without its entry; a save that fails says so and why.
#include <gtest/gtest.h>

#include <functional>

#include "docket/DocketFile.h"
#include "entries/DataFile.h"
#include "entries/Identifier.h"
#include "notify/EmailQueue.h"
#include "notify/EntryCommands.h"
#include "platform/Files.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

CEntry Application(const char* number, const char* reference) {
  CEntry entry;
  EXPECT_FALSE(SetIdentifier(entry, number));
  entry.Text(kReference) = reference;
  entry.Text(kError) = "An old error.";
  entry.last_update = 40000;
  entry.frequency = kWeekly;
  return entry;
}

class EntryEditsTest : public ::testing::Test {
 protected:
  EntryEditsTest() {
    app_->Settings().LogDir.Set(dir_.Path());
    app_->Settings().OrgName.Set("Hollis & Marsh");
    app_->SetUi(&ui_);
    LoadEntries(*app_);
    app_->Entries().Insert(Application("10/123,456", "R-1"));
    app_->Entries().Insert(Application("10/987,654", "R-2"));
    EXPECT_TRUE(SaveEntries(*app_));
    app_->Entries().SetSelected(1, true);
  }
  ~EntryEditsTest() override { app_->SetUi(nullptr); }

  // What the next start would find.
  CEntryList Stored() {
    CEntryList list;
    std::string error;
    EXPECT_TRUE(LoadDataFile(dir_.File(kDataFileName), list, error)) << error;
    return list;
  }
  const CEntry* StoredByNumber(const CEntryList& list, const std::string& number) {
    for (std::size_t row = 0; row < list.Size(); ++row) {
      if (list.At(row).Text(kAppNum) == number) return &list.At(row);
    }
    return nullptr;
  }

  CTempDir dir_;
  CTestApp app_;
  CScriptedUi ui_;
};

TEST_F(EntryEditsTest, EveryEditIsInPatentDatAtOnce) {
  struct Case {
    const char* name;
    std::function<void(CRun&)> edit;
    std::function<bool(const CEntry&)> stored;
  };
  const Case cases[] = {
      {"frequency", [](CRun& app) { SetSelectedFrequency(app, kMonthly); },
       [](const CEntry& e) { return e.frequency == kMonthly; }},
      {"clear error", [](CRun& app) { ClearSelectedErrors(app); },
       [](const CEntry& e) { return e.Text(kError).empty(); }},
      {"clear last update",
       [this](CRun& app) {
         ui_.answers = {MsgAnswer::kYes};
         EXPECT_TRUE(ClearSelectedLastUpdates(app));
       },
       [](const CEntry& e) { return e.last_update == 0; }},
      {"change reference", [](CRun& app) { ChangeSelectedReferences(app, "R-2 renamed"); },
       [](const CEntry& e) { return e.Text(kReference) == "R-2 renamed"; }},
  };
  for (const Case& c : cases) {
    c.edit(*app_);
    const CEntryList stored = Stored();
    ASSERT_EQ(stored.Size(), 2u) << c.name;
    const CEntry* edited = StoredByNumber(stored, "10/987,654");
    ASSERT_NE(edited, nullptr) << c.name;
    EXPECT_TRUE(c.stored(*edited)) << c.name;
    // The row not selected is left as it was.
    const CEntry* other = StoredByNumber(stored, "10/123,456");
    ASSERT_NE(other, nullptr) << c.name;
    EXPECT_EQ(other->Text(kReference), "R-1") << c.name;
    EXPECT_EQ(other->Text(kError), "An old error.") << c.name;
    EXPECT_EQ(other->frequency, kWeekly) << c.name;
  }
  // Nothing was shown but the question of Clear Last Update.
  EXPECT_EQ(ui_.Texts().size(), 1u);
}

TEST_F(EntryEditsTest, AnAddedEntryIsStoredBeforeItsNoticeCanBeSent) {
  std::size_t row = 99;
  EXPECT_EQ(AddNewEntry(*app_, Application("11/222,333", "R-3"), &row), "");
  EXPECT_EQ(app_->Entries().At(row).Text(kReference), "R-3");
  const CEntryList stored = Stored();
  EXPECT_EQ(stored.Size(), 3u);
  EXPECT_NE(StoredByNumber(stored, "11/222,333"), nullptr);
  EXPECT_TRUE(FileExists(dir_.File("Larkspire_a11_222333.tmp")));
  // A duplicate is refused and changes nothing.
  EXPECT_EQ(AddNewEntry(*app_, Application("11/222,333", "again")), kDuplicateEntryMessage);
  EXPECT_EQ(Stored().Size(), 3u);
}

TEST_F(EntryEditsTest, DecliningTheClearLastUpdateQuestionChangesNothing) {
  ui_.answers = {MsgAnswer::kNo};
  EXPECT_FALSE(ClearSelectedLastUpdates(*app_));
  EXPECT_EQ(app_->Entries().At(1).last_update, 40000);
}

TEST_F(EntryEditsTest, ASaveThatFailsIsShownWithItsReasonLoggedAndCountedAsAFailure) {
  // The file cannot be replaced: a directory has taken its name.
  ASSERT_TRUE(RemoveFile(dir_.File(kDataFileName)));
  ASSERT_TRUE(MakeDirectories(dir_.File(kDataFileName)));
  EXPECT_FALSE(app_->Status().had_failures);

  ClearSelectedErrors(*app_);

  const std::string message = "The application data file " + dir_.File(kDataFileName) +
                              " could not be saved (Is a directory); it keeps what it held "
                              "before.";
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, message);
  EXPECT_EQ(ui_.messages[0].caption, std::string(kCaption) + " - Save Failed");
  std::string log;
  ASSERT_TRUE(ReadWholeFile(app_->Log().Path(), log));
  EXPECT_NE(log.find("Save Failed '" + message + "'"), std::string::npos) << log;
  EXPECT_TRUE(app_->Status().had_failures);
  EXPECT_TRUE(IsDirectory(dir_.File(kDataFileName)));
  EXPECT_FALSE(SaveEntries(*app_));
}

}  // namespace
}  // namespace larkspire

namespace larkspire {
namespace {

CDeadline DeadlineOf(const std::string& key, int32_t opened_on) {
  CDeadline deadline;
  deadline.entry_key = key;
  deadline.rule_key = "nonfinal";
  deadline.what = "Reply to non-final rejection";
  deadline.opened_on = opened_on;
  deadline.computed_due = deadline.due = deadline.last_date = opened_on + 92;
  return deadline;
}

// The docket follows the list: a deleted entry's deadlines go, an entry that learns its patent
// number keeps its deadlines under it, and the docket reaches its file with the next save of
// the data file.
TEST_F(EntryEditsTest, DeadlinesFollowTheirEntry) {
  const std::string kept = app_->Entries().At(0).Identifier();
  const std::string deleted = app_->Entries().At(1).Identifier();
  app_->Docket().Replace({DeadlineOf(kept, 40000), DeadlineOf(deleted, 40001)});
  app_->Status().docket_unsaved = true;

  ui_.answers = {MsgAnswer::kYes};
  DeleteSelectedEntries(*app_);
  CDocket stored;
  ASSERT_EQ(LoadDocket(dir_.File(kDocketFileName), stored), "");
  ASSERT_EQ(stored.All().size(), 1u);
  EXPECT_EQ(stored.All()[0].entry_key, kept);

  CEntry granted = app_->Entries().At(0);
  granted.SetText(kPatNum, "7,091,234");
  ReplaceEntry(*app_, 0, granted, ReplaceNotice::kNone);
  ASSERT_TRUE(SaveEntries(*app_));
  ASSERT_EQ(LoadDocket(dir_.File(kDocketFileName), stored), "");
  ASSERT_EQ(stored.All().size(), 1u);
  EXPECT_EQ(stored.All()[0].entry_key, granted.Identifier());
  EXPECT_NE(granted.Identifier(), kept);
}

}  // namespace
}  // namespace larkspire
