#include <gtest/gtest.h>

#include "entries/LastChanges.h"
#include "notify/EmailQueue.h"
#include "notify/PendingList.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/ChangeDetection.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class ChangeDetectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app().Settings().LogDir.Set(dir_.Path());
    LoadRules(app());
    stored_.Text(kAppNum) = "10/123,456";
    stored_.Text(kReference) = "R-1";
    stored_.Text(kStatus) = "Pending";
    stored_.Text(kExaminer) = "SMITH, JOHN";
    stored_.Text(kArtUnit) = "1634";
    stored_.last_change = TodayDayNumber() - 30;
    stored_.last_update = TodayDayNumber() - 1;
    app().Entries().Insert(stored_);
  }
  CRun& app() { return net_.App(); }
  std::size_t MessagesQueued() {
    std::string list;
    ReadWholeFile(PendingListPath(app()), list);
    return ReadPendingNames(list).size();
  }

  CTempDir dir_;
  CNetTestApp net_;
  CEntry stored_;
};

TEST_F(ChangeDetectionTest, AChangeIsStoredAndQueuedWithTheOldRecord) {
  CEntry fresh = stored_;
  fresh.Text(kStatus) = "Allowed";
  fresh.last_update = TodayDayNumber();
  EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored_), "");
  EXPECT_EQ(app().Entries().At(0).Text(kStatus), "Allowed");
  EXPECT_EQ(app().Entries().At(0).last_change, TodayDayNumber());
  EXPECT_EQ(app().Settings().CountStatusChange.Int(0), 1);
  std::string message;
  ASSERT_TRUE(ReadWholeFile(dir_.File("Larkspire_s10_123456.tmp"), message));
  EXPECT_NE(message.find("Status (now): Allowed\r\nStatus (was): Pending\r\n"), std::string::npos);
}

TEST_F(ChangeDetectionTest, AChangeKeepsItsFieldsBeforeAndAfterForTheDetailsWindow) {
  CEntry fresh = stored_;
  fresh.Text(kStatus) = "Allowed";
  fresh.Text(kArtUnit) = "1635";
  fresh.last_update = TodayDayNumber();
  EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored_), "");
  const LastChanges changes = ReadLastChanges(dir_.Path());
  const CLastChange* change = LastChangeOf(changes, app().Entries().At(0));
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(change->day, TodayDayNumber());
  EXPECT_EQ(change->fields, (std::vector<CFieldChange>{{kArtUnit, "1634", "1635"},
                                                       {kStatus, "Pending", "Allowed"}}));
}

TEST_F(ChangeDetectionTest, AnUpdateWithoutAStatusChangeKeepsNoChange) {
  CEntry fresh = stored_;
  fresh.last_update = TodayDayNumber();
  EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored_), "");
  EXPECT_FALSE(FileExists(dir_.File(kLastChangesFileName)));
}

TEST_F(ChangeDetectionTest, AnEntryNeverSeenBeforeIsStoredWithoutANotice) {
  stored_.last_change = 0;
  CEntry fresh = stored_;
  fresh.Text(kStatus) = "Allowed";
  EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored_), "");
  EXPECT_EQ(app().Entries().At(0).Text(kStatus), "Allowed");
  EXPECT_FALSE(EmailPending(app()));
}

// A row as an import lists it: reference and application number, normalised (so its LastChange
// is the import day, as a restart would give it back too), never updated.
CEntry ListedRow() {
  CEntry listed;
  listed.Text(kReference) = "CH-0412-US";
  listed.Text(kAppNum) = "10/123,456";
  listed.Normalize();
  return listed;
}

TEST_F(ChangeDetectionTest, TheFirstReadOfAListedRowStoresItsFieldsWithoutANotice) {
  const CEntry listed = ListedRow();
  ASSERT_EQ(listed.last_change, TodayDayNumber());
  app().Entries().Replace(0, listed);
  CEntry fresh = listed;
  fresh.Text(kStatus) = "Patented Case";
  fresh.Text(kFilingDate) = "2003-05-12";
  fresh.Text(kLastHistoryDate) = "2006-08-15";
  fresh.Text(kLastHistoryText) = "Recordation of Patent Grant Mailed";
  fresh.last_update = TodayDayNumber();
  EXPECT_EQ(ApplyUpdate(app(), 0, fresh, listed), "");
  const CEntry& stored = app().Entries().At(0);
  EXPECT_EQ(stored.Text(kStatus), "Patented Case");
  // Its last change is its last event, not the day it was listed.
  EXPECT_EQ(stored.GetText(kLastChange), "2006-08-15");
  EXPECT_FALSE(EmailPending(app()));
  EXPECT_EQ(app().Settings().CountStatusChange.Int(0), 0);
}

// Rows that have been read before mail their changes, however they came to be due again.
TEST_F(ChangeDetectionTest, ARowReadBeforeMailsItsChanges) {
  struct Case {
    const char* name;
    int32_t last_update;  // -1: yesterday
    const char* status;   // the stored status
  };
  int notices = 0;
  for (const Case& c : {Case{"due after a redo cleared its last update", 0, "Pending"},
                        Case{"read once, its page showing nothing yet", -1, ""}}) {
    SCOPED_TRACE(c.name);
    CEntry stored = ListedRow();
    stored.Text(kStatus) = c.status;
    stored.last_update = c.last_update < 0 ? TodayDayNumber() - 1 : c.last_update;
    app().Entries().Replace(0, stored);
    CEntry fresh = stored;
    fresh.Text(kStatus) = "Allowed";
    fresh.last_update = TodayDayNumber();
    EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored), "");
    EXPECT_EQ(app().Settings().CountStatusChange.Int(0), ++notices);
    EXPECT_TRUE(EmailPending(app()));
  }
}

TEST_F(ChangeDetectionTest, AChangeThatCannotBeQueuedIsFoundAgainNextRun) {
  app().Settings().LogDir.Set(dir_.File("gone"));
  CEntry fresh = stored_;
  fresh.Text(kStatus) = "Allowed";
  fresh.last_update = TodayDayNumber();
  EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored_),
            "PostEmail: Can't create the pending e-mail file.");
  const CEntry& kept = app().Entries().At(0);
  EXPECT_EQ(kept.Text(kStatus), "Pending");
  EXPECT_EQ(kept.last_update, 0);
  EXPECT_FALSE(kept.IsUpToDate());
}

TEST_F(ChangeDetectionTest, ThreeRevertedFieldsAskWhileWarningIsOn) {
  CEntry fresh = stored_;
  fresh.Text(kStatus).clear();
  fresh.Text(kExaminer).clear();
  EXPECT_TRUE(CheckRevertedFields(app(), fresh, stored_));
  EXPECT_TRUE(net_.Ui().messages.empty());  // two fields only
  fresh.Text(kArtUnit).clear();
  app().Status().warn_reverted = true;
  net_.Ui().answer_when = {{"reverted to nothing", MsgAnswer::kYes}};
  EXPECT_TRUE(CheckRevertedFields(app(), fresh, stored_));
  ASSERT_EQ(net_.Ui().messages.size(), 1u);
  EXPECT_NE(net_.Ui().Shown()[0].find("Three or more fields for application 10/123,456 "
                                      "reverted to nothing."),
            std::string::npos);
  EXPECT_NE(net_.Ui().Shown()[0].find("\nExaminer (was): SMITH, JOHN\nArt (was): 1634\n"
                                      "Status (was): Pending"),
            std::string::npos);
  EXPECT_FALSE(app().Status().warn_reverted);  // Yes: don't warn again
  EXPECT_TRUE(CheckRevertedFields(app(), fresh, stored_));
  EXPECT_EQ(net_.Ui().messages.size(), 1u);
}

// An office's rules that list a file location move and an address change as not worth a mail.
TEST_F(ChangeDetectionTest, OnlyChangesTheRulesListAsQuietAreStoredWithoutAMail) {
  std::string rules = app().Rules().text;
  const std::size_t section = rules.find("\r\nmail:\r\n");
  ASSERT_NE(section, std::string::npos);
  rules.insert(section + 9,
               " quiet-fields: Location ArtUnit\r\n"
               " quiet-events: Correspondence Address Change#change in power of attorney*\r\n");
  app().Rules().text = rules;
  stored_.Text(kLastHistoryText) = "Non-Final Rejection";
  stored_.Text(kLastHistoryDate) = "2026-11-02";
  app().Entries().Replace(0, stored_);

  struct Case {
    const char* what;
    std::vector<std::pair<int, const char*>> changes;
    bool mailed;
  } cases[] = {
      {"a listed field alone", {{kLocation, "FILE REPOSITORY"}}, false},
      {"two listed fields", {{kLocation, "FILE REPOSITORY"}, {kArtUnit, "1635"}}, false},
      {"a listed field with another", {{kLocation, "FILE REPOSITORY"}, {kStatus, "Allowed"}}, true},
      {"a listed event",
       {{kLastHistoryText, "Correspondence Address Change"}, {kLastHistoryDate, "2026-12-01"}},
       false},
      {"a listed event by its pattern, any case",
       {{kLastHistoryText, "Change In Power Of Attorney (May Include Associate POA)"},
        {kLastHistoryDate, "2026-12-01"}},
       false},
      {"another event",
       {{kLastHistoryText, "Final Rejection"}, {kLastHistoryDate, "2026-12-01"}},
       true},
      {"a listed event with a new status",
       {{kLastHistoryText, "Correspondence Address Change"}, {kStatus, "Abandoned"}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app().Entries().Replace(0, stored_);
    const std::size_t queued = MessagesQueued();
    CEntry fresh = stored_;
    for (const auto& [field, text] : c.changes) fresh.SetText(field, text);
    fresh.last_update = TodayDayNumber();
    EXPECT_EQ(ApplyUpdate(app(), 0, fresh, stored_), "");
    EXPECT_EQ(MessagesQueued(), queued + (c.mailed ? 1 : 0));
    // Stored and shown as a change either way.
    EXPECT_EQ(app().Entries().At(0).last_change, TodayDayNumber());
    EXPECT_EQ(app().Entries().At(0).Text(c.changes[0].first), c.changes[0].second);
  }
}

}  // namespace
}  // namespace larkspire
