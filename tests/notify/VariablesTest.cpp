#include <gtest/gtest.h>
#include <sys/time.h>

#include <string>

#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "platform/ProgramInfo.h"
#include "rules/Dates.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

// 2007-03-15 14:30:45 UTC, 10:30:45 in New York (daylight-saving time since 2007-03-11).
constexpr int64_t kNow = 1173969045;

class VariablesTest : public ::testing::Test {
 protected:
  std::string Lookup(std::string_view name) { return LookupVariable(*app_, name); }

  CFixedClock clock_{kNow};
  CTestApp app_;
};

TEST_F(VariablesTest, SettingsAndCountersByNameIgnoringCase) {
  CSettings& s = app_->Settings();
  const struct {
    const char* name;
    CSetting* setting;
  } cases[] = {
      {"CountExec", &s.CountExec},
      {"CountStatusChange", &s.CountStatusChange},
      {"CountUpdateSucceeded", &s.CountUpdateSucceeded},
      {"CountUpdateFailed", &s.CountUpdateFailed},
      {"CountEmailPost", &s.CountEmailPost},
      {"CountEmailBatchSucceeded", &s.CountEmailBatchSucceeded},
      {"CountEmailBatchFailed", &s.CountEmailBatchFailed},
      {"GUID", &s.GUID},
      {"Timeout", &s.Timeout},
      {"ProxyServer", &s.ProxyServer},
      {"OrgName", &s.OrgName},
      {"SmtpServer", &s.SmtpServer},
      {"ReturnAddress", &s.ReturnAddress},
      {"AppDir", &s.Install},
      {"LogDir", &s.LogDir},
      {"ReportDir", &s.ReportDir},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string value = "value " + std::to_string(++n) + " of " + c.name;
    c.setting->Set(value);
    EXPECT_EQ(Lookup(c.name), value);
    std::string lower = c.name;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(Lookup(lower), value) << lower;
    // A known name with an empty value prints "-".
    c.setting->Set("");
    EXPECT_EQ(Lookup(c.name), "-") << c.name;
  }
  s.NotifyAddress.Items() = {"a@x.example", "b@y.example", "c@z.example"};
  EXPECT_EQ(Lookup("NotifyAddresses"), "a@x.example, b@y.example, c@z.example");
}

TEST_F(VariablesTest, RunStateAndFixedTexts) {
  app_->MasterList().cookie = "12345";
  app_->MasterList().index = 7;
  app_->Status().problem_desc = "Stops at the second entry.";
  app_->Transcript().text = "000.00 connected\r\n";
  app_->Entries().Insert(CEntry());
  app_->Entries().Insert(CEntry());
  EXPECT_EQ(Lookup("MasterListCookie"), "12345");
  EXPECT_EQ(Lookup("MasterListIndex"), "7");
  EXPECT_EQ(Lookup("ProblemDesc"), "Stops at the second entry.");
  EXPECT_EQ(Lookup("TCPIPFlow"), "000.00 connected\r\n");
  EXPECT_EQ(Lookup("CountEntry"), "2");
  EXPECT_EQ(Lookup("Version"), ProgramVersionText());
  EXPECT_EQ(Lookup("RulesVersion"), "4.2.04.000");
  EXPECT_EQ(Lookup("AppName"), "Larkspire");
  EXPECT_EQ(Lookup("appname"), "Larkspire");
  EXPECT_EQ(Lookup("DataKind"), "Patent");
  EXPECT_EQ(Lookup("DataSource"), "PAIR");
  EXPECT_EQ(Lookup("OS"), OsDescription());
  EXPECT_EQ(Lookup("Courtesy"),
            "Courtesy of Harrowgate Patent Law Firm LLP, http://www.larkspire.example/Larkspire/.");
  EXPECT_EQ(Lookup("CourtesyHtml"),
            "<p><i>Courtesy of Harrowgate Patent Law Firm LLP, "
            "<a href=\"http://www.larkspire.example/Larkspire/\">"
            "http://www.larkspire.example/Larkspire/</a>.</i></p>");
  EXPECT_EQ(Lookup("Foo"), "[Foo]");
  EXPECT_EQ(Lookup(""), "[]");
}

TEST_F(VariablesTest, NowInLocalAndUniversalTime) {
  EXPECT_EQ(Lookup("NowLocal"), "2007-03-15 10:30:45 AM");
  EXPECT_EQ(Lookup("NowUTC"), "2007-03-15 14:30:45");
}

TEST_F(VariablesTest, PublisherAddressesFromTheRulesOrTheDefaults) {
  EXPECT_EQ(Lookup("ActivityAddress"), "activity@larkspire.example");
  EXPECT_EQ(Lookup("SupportAddress"), "support@larkspire.example");
  app_->Rules().text =
      "version: 9\r\nlocation:\r\n activity: stats@publisher.example\r\nend-of-rules\r\n";
  EXPECT_EQ(Lookup("ActivityAddress"), "stats@publisher.example");
  EXPECT_EQ(Lookup("SupportAddress"), kDefaultSupportAddress);
}

TEST_F(VariablesTest, LogFileIsReadWhole) {
  CTempDir dir;
  EXPECT_EQ(Lookup("LogFile"), "-");
  app_->Settings().LogDir.Set(dir.Path());
  ASSERT_TRUE(SaveFileAtomically(dir.File("Larkspire.log"), "line 1\r\nline 2\r\n"));
  EXPECT_EQ(Lookup("LogFile"), "line 1\r\nline 2\r\n");
}

TEST(InstalledTimeTest, LastWriteTimeOfTheProgramsFolder) {
  CFixedClock clock(kNow);
  CTempDir dir;
  ASSERT_TRUE(MakeDirectories(dir.File("bin")));
  // 2006-12-01 18:30:00 UTC, 01:30:00 PM in New York (standard time).
  const timeval times[2] = {{1164997800, 0}, {1164997800, 0}};
  ASSERT_EQ(::utimes(dir.File("bin").c_str(), times), 0);
  CTestApp app(dir.File("bin/larkspire"));
  EXPECT_EQ(LookupVariable(*app, "InstalledLocal"), "2006-12-01 01:30:00 PM");
  EXPECT_EQ(LookupVariable(*app, "InstalledUTC"), "2006-12-01 18:30:00");

  CTestApp missing(dir.File("gone/larkspire"));
  EXPECT_EQ(LookupVariable(*missing, "InstalledLocal"), "-");
  EXPECT_EQ(LookupVariable(*missing, "InstalledUTC"), "-");
}

TEST_F(VariablesTest, LastFetchPiecesNumberedFromOne) {
  EXPECT_EQ(Lookup("LastFetch"), "-");
  app_->LastFetch().urls = {"http://h/1", "http://h/2", "http://h/3"};
  app_->LastFetch().pages = {"page one", "page two"};
  EXPECT_EQ(Lookup("LastFetch"),
            "***LastFetch(1): http://h/1\r\npage one\r\n"
            "***LastFetch(2): http://h/2\r\npage two\r\n"
            "***LastFetch(3): http://h/3\r\n\r\n");
}

class EntryVariablesTest : public VariablesTest {
 protected:
  void SetUp() override {
    current_.Text(kAppNum) = "08/123,456";
    current_.Text(kReference) = "HPL-0042";
    current_.Text(kStatus) = "Patented Case";
    current_.frequency = kWeekly;
    previous_ = current_;
    previous_.Text(kReference) = "HPL-42";
    previous_.Text(kStatus) = "Awaiting TC Resp";
  }
  CEntry current_;
  CEntry previous_;
};

TEST_F(EntryVariablesTest, CurrentEntryNamesAndTheirOldForms) {
  {
    CExpansionScope scope(*app_, &current_);
    EXPECT_EQ(Lookup("Reference"), "HPL-0042");
    EXPECT_EQ(Lookup("status"), "Patented Case");
    EXPECT_EQ(Lookup("Fequency"), "Weekly");
    EXPECT_EQ(Lookup("Frequency"), "[Frequency]");
    EXPECT_EQ(Lookup("AppNum2"), "08123456");
    EXPECT_EQ(Lookup("Identifier"), "application 08/123,456");
    EXPECT_EQ(Lookup("PatNum"), "-");
    // No previous entry: the Old forms and the change list are unresolved.
    EXPECT_EQ(Lookup("ReferenceOld"), "[ReferenceOld]");
    EXPECT_EQ(Lookup("AllChanges"), "[AllChanges]");
  }
  {
    CExpansionScope scope(*app_, &current_, &previous_);
    EXPECT_EQ(Lookup("ReferenceOld"), "HPL-42");
    EXPECT_EQ(Lookup("referenceold"), "HPL-42");
    EXPECT_EQ(Lookup("PatNumOld"), "-");
    EXPECT_EQ(Lookup("Old"), "[Old]");
    EXPECT_EQ(Lookup("NoSuchOld"), "[NoSuchOld]");
  }
  {
    // The previous entry alone still answers the Old forms, but there is no change list.
    CExpansionScope scope(*app_, nullptr, &previous_);
    EXPECT_EQ(Lookup("ReferenceOld"), "HPL-42");
    EXPECT_EQ(Lookup("Reference"), "[Reference]");
    EXPECT_EQ(Lookup("AllChanges"), "[AllChanges]");
  }
  EXPECT_EQ(app_->Slots().current, nullptr);
  EXPECT_EQ(app_->Slots().previous, nullptr);
  EXPECT_EQ(Lookup("Reference"), "[Reference]");
}

TEST_F(EntryVariablesTest, ScopesNestAndRestore) {
  CEntry other;
  CExpansionScope outer(*app_, &current_, &previous_);
  {
    CExpansionScope inner(*app_, &other);
    EXPECT_EQ(app_->Slots().current, &other);
    EXPECT_EQ(app_->Slots().previous, nullptr);
  }
  EXPECT_EQ(app_->Slots().current, &current_);
  EXPECT_EQ(app_->Slots().previous, &previous_);
}

TEST_F(EntryVariablesTest, ChangeListOnlyStatus) {
  previous_.Text(kReference) = current_.Text(kReference);
  CExpansionScope scope(*app_, &current_, &previous_);
  EXPECT_EQ(Lookup("AllChanges"), "Status (now): Patented Case\r\nStatus (was): Awaiting TC Resp");
  previous_.Text(kStatus) = current_.Text(kStatus);
  EXPECT_EQ(Lookup("AllChanges"), "-");
}

TEST_F(EntryVariablesTest, ChangeListOrderCaptionsAndHistoryDateRule) {
  current_.Text(kPatNum) = "7,612,345";
  current_.Text(kLastHistoryDate) = "2007-03-14";
  current_.Text(kLastHistoryText) = "Patent Grant";
  current_.Text(kDocketNumber) = "not compared";
  current_.Text(kError) = "not compared";
  current_.last_update = 39156;
  previous_.Text(kLastHistoryDate) = "2007-02-20";
  previous_.Text(kLastHistoryText) = "Issue Fee Payment Verified";
  EXPECT_EQ(AllChanges(current_, previous_),
            "Reference (now): HPL-0042\r\nReference (was): HPL-42\r\n\r\n"
            "Pat # (now): 7,612,345\r\nPat # (was): \r\n\r\n"
            "Status (now): Patented Case\r\nStatus (was): Awaiting TC Resp\r\n\r\n"
            "Last History (now): 2007-03-14\r\nLast History (was): 2007-02-20\r\n\r\n"
            "Last History Description (now): Patent Grant\r\n"
            "Last History Description (was): Issue Fee Payment Verified");

  // A history date that was unknown (or is now) is no change of its own.
  previous_ = current_;
  previous_.Text(kLastHistoryDate) = kUnknownDate;
  EXPECT_EQ(AllChanges(current_, previous_), "");
  previous_.Text(kLastHistoryDate) = "";
  EXPECT_EQ(AllChanges(current_, previous_), "");
}

}  // namespace
}  // namespace larkspire
