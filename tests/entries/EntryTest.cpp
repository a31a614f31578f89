#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FakeToday.h"
#include "entries/Entry.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

int32_t Day(const char* date) { return ParseDayNumber(date); }

TEST(FieldTable, KeysCaptionsAndWidths) {
  EXPECT_STREQ(kFields[kFrequency].key, "Fequency");
  EXPECT_STREQ(kFields[kFrequency].column_caption, "Frequency");
  EXPECT_STREQ(kFields[kConfirmNum].menu_caption, "C&onfrimation Number");
  EXPECT_STREQ(kFields[kLastHistoryDate].column_caption, "Last History");
  EXPECT_EQ(kFields[kError].menu_caption, nullptr);
  EXPECT_EQ(kFields[kError].width_units, 20);
  EXPECT_EQ(kFields[kLastHistoryText].width_units, 10);
  const std::vector<int> date_like = {kFrequency,  kLastUpdate, kLastChange, kLastHistoryDate,
                                      kFilingDate, kIssueDate,  kPubDate};
  for (int id = 0; id < kFieldCount; ++id) {
    const bool expected = std::find(date_like.begin(), date_like.end(), id) != date_like.end();
    EXPECT_EQ(kFields[id].date_like, expected) << kFields[id].key;
  }
}

TEST(FieldTable, FindFieldByKey) {
  struct Case {
    const char* key;
    int id;
  };
  const Case cases[] = {{"Fequency", kFrequency}, {"fequency", kFrequency},
                        {"Frequency", -1},        {"APPNUM", kAppNum},
                        {"error", kError},        {"PTE", kPTE},
                        {"AppNum2", -1},          {"", -1},
                        {"Reference ", -1}};
  for (const Case& c : cases) EXPECT_EQ(FindFieldByKey(c.key), c.id) << c.key;
  for (int id = 0; id < kFieldCount; ++id) EXPECT_EQ(FindFieldByKey(kFields[id].key), id);
}

TEST(FieldTable, ChangeListIsCompareListWithHistoryDateBeforeHistoryText) {
  std::vector<int> expected(kCompareList.begin(), kCompareList.end());
  const auto text = std::find(expected.begin(), expected.end(), kLastHistoryText);
  ASSERT_NE(text, expected.end());
  expected.insert(text, kLastHistoryDate);
  EXPECT_EQ(std::vector<int>(kChangeList.begin(), kChangeList.end()), expected);
}

TEST(EntryText, DisplayAndRawForms) {
  CEntry e;
  e.last_update = Day("2007-01-05");
  e.Text(kStatus) = "Allowed";
  struct Case {
    int32_t frequency;
    const char* display;
  };
  const Case frequencies[] = {{0, "Daily"}, {1, "Weekly"}, {2, "Monthly"}, {3, "Yearly"},
                              {4, "Never"}, {5, "Never"},  {-1, "Never"}};
  for (const Case& c : frequencies) {
    e.frequency = c.frequency;
    EXPECT_EQ(e.GetText(kFrequency), c.display);
    EXPECT_EQ(e.GetText(kFrequency, true), std::to_string(c.frequency));
  }
  EXPECT_EQ(e.GetText(kLastUpdate), "2007-01-05");
  EXPECT_EQ(e.GetText(kLastUpdate, true), std::to_string(Day("2007-01-05")));
  EXPECT_EQ(e.GetText(kLastChange), "");
  EXPECT_EQ(e.GetText(kLastChange, true), "0");
  EXPECT_EQ(e.GetText(kStatus), "Allowed");
  EXPECT_EQ(e.GetText(kStatus, true), "Allowed");
  EXPECT_EQ(e.GetText(-1), "");
  EXPECT_EQ(e.GetText(kFieldCount), "");
}

TEST(EntryText, SetTextReadsLeadingNumbersAndKeepsTextsExceptLineBreaks) {
  struct NumberCase {
    const char* text;
    int32_t value;
  };
  const NumberCase numbers[] = {
      {"39087", 39087},           {"12abc", 12}, {"", 0}, {"abc", 0}, {" -3", -3}, {"+7", 7},
      {"99999999999", 2147483647}};
  for (int id : {kFrequency, kLastUpdate, kLastChange}) {
    for (const NumberCase& c : numbers) {
      CEntry e;
      e.SetText(id, c.text);
      EXPECT_EQ(e.GetText(id, true), std::to_string(c.value)) << id << " " << c.text;
    }
  }
  CEntry e;
  e.SetText(kExaminer, "  SMITH, JOHN  ");
  EXPECT_EQ(e.Text(kExaminer), "  SMITH, JOHN  ");
  e.SetText(kStatus, "a\tb\rc\nd");
  EXPECT_EQ(e.Text(kStatus), "a b c d");
  e.SetText(kFieldCount, "ignored");
  e.SetText(-1, "ignored");
  e.SetTextByName("examiner", "DOE");
  EXPECT_EQ(e.Text(kExaminer), "DOE");
  e.SetTextByName("Frequency", "3");  // not a key
  EXPECT_EQ(e.frequency, kDaily);
  e.SetTextByName("FEQUENCY", "3");
  EXPECT_EQ(e.frequency, kYearly);
}

// A status cell with a NUL used to cut the e-mail short at it; a vertical tab or an escape
// has no place in a report or a log either. Bytes from 0x80 on are text (Windows-1252).
TEST(EntryText, SetTextTurnsEveryControlByteIntoABlank) {
  for (int byte = 0; byte < 0x100; ++byte) {
    CEntry e;
    const std::string text = std::string("a") + static_cast<char>(byte) + "b";
    e.SetText(kStatus, text);
    const bool control = byte < 0x20 || byte == 0x7F;
    EXPECT_EQ(e.Text(kStatus), control ? "a b" : text) << byte;
  }
  CEntry e;
  const char kCell[] = "Patented\0Case\x01\x1b[2J";
  e.SetTextByName("Status", std::string(kCell, sizeof kCell - 1));
  EXPECT_EQ(e.Text(kStatus), "Patented Case  [2J");
}

TEST(EntryText, DerivedNames) {
  CFakeToday today("2007-01-10");
  CEntry e;
  e.Text(kAppNum) = "12/345,678";
  e.Text(kLastHistoryDate) = "2007-01-05";
  e.Text(kLastHistoryText) = "Mailed";
  e.last_change = Day("2007-01-05");
  e.last_update = Day("2007-01-10");
  struct Case {
    const char* name;
    const char* value;
  };
  const Case cases[] = {{"AppNum", "12/345,678"},
                        {"appnum2", "12345678"},
                        {"Identifier", "application 12/345,678"},
                        {"LastHistory", "2007-01-05 - Mailed"},
                        {"RECENTCHANGE", "Yes"},
                        {"UpToDate", "Yes"},
                        {"StatusUrl", ""},
                        {"Fequency", "Daily"},
                        {"LastUpdate", "2007-01-10"}};
  for (const Case& c : cases) {
    std::string out = "unset";
    EXPECT_TRUE(e.GetTextByName(c.name, out)) << c.name;
    EXPECT_EQ(out, c.value) << c.name;
  }
  std::string out = "unset";
  EXPECT_FALSE(e.GetTextByName("Frequency", out));
  EXPECT_FALSE(e.GetTextByName("NoSuchName", out));
  EXPECT_EQ(out, "unset");
}

TEST(EntryText, StatusUrlComesFromTheInstalledBuilder) {
  CEntry e;
  e.Text(kAppNum) = "12/345,678";
  EXPECT_EQ(e.StatusUrl(), "");
  SetStatusUrlBuilder([](const CEntry& entry) { return "http://h/p?" + entry.AppNum2(); });
  std::string out;
  EXPECT_TRUE(e.GetTextByName("statusurl", out));
  EXPECT_EQ(out, "http://h/p?12345678");
  SetStatusUrlBuilder(nullptr);
  EXPECT_EQ(e.StatusUrl(), "");
}

TEST(EntryText, IdentifierPrefersPatentThenApplicationThenPublication) {
  struct Case {
    const char* app;
    const char* pat;
    const char* pub;
    const char* identifier;
  };
  const Case cases[] = {
      {"12/345,678", "7,123,456", "2007-0123456 A1", "7,123,456"},
      {"12/345,678", "", "2007-0123456 A1", "application 12/345,678"},
      {"", "", "2007-0123456 A1", "publication 2007-0123456 A1"},
  };
  for (const Case& c : cases) {
    CEntry e;
    e.Text(kAppNum) = c.app;
    e.Text(kPatNum) = c.pat;
    e.Text(kPubNum) = c.pub;
    EXPECT_EQ(e.Identifier(), c.identifier);
  }
}

TEST(EntryText, AppNum2DropsPositionTwoThenFiveOfTheRest) {
  struct Case {
    const char* app;
    const char* app2;
  };
  const Case cases[] = {
      {"12/345,678", "12345678"}, {"", ""}, {"12", "12"}, {"12/", "12"}, {"12/345", "12345"},
      {"12/345,", "12345"}};
  for (const Case& c : cases) {
    CEntry e;
    e.Text(kAppNum) = c.app;
    EXPECT_EQ(e.AppNum2(), c.app2) << c.app;
  }
}

struct DueCase {
  int32_t frequency;
  const char* last_update;  // "" for never updated
  const char* today;
  bool up_to_date;
};

class EntryDue : public ::testing::TestWithParam<DueCase> {};

TEST_P(EntryDue, UpToDateFollowsTheFrequency) {
  const DueCase& c = GetParam();
  CFakeToday today(c.today);
  CEntry e;
  e.frequency = c.frequency;
  e.last_update = *c.last_update ? Day(c.last_update) : 0;
  EXPECT_EQ(e.IsUpToDate(), c.up_to_date);
  std::string out;
  ASSERT_TRUE(e.GetTextByName("UpToDate", out));
  EXPECT_EQ(out, c.up_to_date ? "Yes" : "No");
}

// 2007-01-06 is a Saturday, 2007-01-07 a Sunday.
INSTANTIATE_TEST_SUITE_P(Boundaries, EntryDue,
                         ::testing::Values(DueCase{kDaily, "", "2007-01-07", false},
                                           DueCase{kWeekly, "", "2007-01-07", false},
                                           DueCase{kMonthly, "", "2007-01-07", false},
                                           DueCase{kYearly, "", "2007-01-07", false},
                                           DueCase{kNever, "", "2007-01-07", false},
                                           DueCase{kNever, "2000-01-01", "2007-01-07", true},
                                           DueCase{9, "2000-01-01", "2007-01-07", true},
                                           DueCase{kDaily, "2007-01-07", "2007-01-07", true},
                                           DueCase{kDaily, "2007-01-06", "2007-01-07", false},
                                           DueCase{kWeekly, "2007-01-06", "2007-01-07", false},
                                           DueCase{kWeekly, "2007-01-07", "2007-01-13", true},
                                           DueCase{kWeekly, "2007-01-07", "2007-01-14", false},
                                           DueCase{kWeekly, "2006-12-31", "2007-01-06", true},
                                           DueCase{kMonthly, "2006-12-31", "2007-01-01", false},
                                           DueCase{kMonthly, "2007-01-01", "2007-01-31", true},
                                           DueCase{kMonthly, "2006-01-15", "2007-01-20", false},
                                           DueCase{kYearly, "2006-12-31", "2007-01-01", false},
                                           DueCase{kYearly, "2007-01-01", "2007-12-31", true}));

TEST(EntryState, RecentChangeIsUnderEightDays) {
  CFakeToday today("2007-01-20");
  struct Case {
    int32_t last_change;
    bool recent;
  };
  const int32_t now = Day("2007-01-20");
  const Case cases[] = {{now, true}, {now - 7, true}, {now - 8, false}, {0, false}};
  for (const Case& c : cases) {
    CEntry e;
    e.last_change = c.last_change;
    EXPECT_EQ(e.IsRecentChange(), c.recent) << c.last_change;
  }
}

TEST(EntryState, StateImageAddsItsBits) {
  CFakeToday today("2007-01-20");
  const int32_t now = Day("2007-01-20");
  struct Case {
    int32_t last_change;
    int32_t last_update;
    const char* error;
    int image;
  };
  const Case cases[] = {{0, 0, "", 0},     {now, 0, "", 1},        {0, now, "", 2},
                        {now, now, "", 3}, {0, 0, "Timed out", 4}, {now, now, "x", 7}};
  for (const Case& c : cases) {
    CEntry e;
    e.last_change = c.last_change;
    e.last_update = c.last_update;
    e.Text(kError) = c.error;
    EXPECT_EQ(e.StateImage(), c.image);
  }
}

TEST(EntryState, MarksUseTheCurrentDay) {
  CFakeToday today("2007-01-20");
  CEntry e;
  e.MarkChanged();
  e.MarkForRetry();
  EXPECT_EQ(e.last_change, Day("2007-01-20"));
  EXPECT_EQ(e.last_update, Day("2007-01-19"));
  // A copy made yesterday still sees today's date, not the day it was made.
  const CEntry copy = e;
  today.Set("2007-01-21");
  CEntry later = copy;
  later.MarkChanged();
  EXPECT_EQ(later.last_change, Day("2007-01-21"));
  later.ClearLastUpdate();
  EXPECT_EQ(later.last_update, 0);
}

struct NormalizeCase {
  const char* what;
  std::vector<std::pair<int, const char*>> before;
  int32_t last_change_before;
  std::vector<std::pair<int, const char*>> after;
  const char* last_change_after;  // date text
};

TEST(EntryNormalize, Steps) {
  CFakeToday today("2007-02-01");
  const NormalizeCase cases[] = {
      {"history split at the first separator",
       {{kLastHistoryText, "2007-01-05 - Mailed - Final"}},
       0,
       {{kLastHistoryDate, "2007-01-05"}, {kLastHistoryText, "Mailed - Final"}},
       "2007-01-05"},
      {"history without separator becomes the date",
       {{kLastHistoryText, "Abandoned"}},
       0,
       {{kLastHistoryDate, "Abandoned"}, {kLastHistoryText, ""}},
       "2007-02-01"},
      {"history left alone when the date is set",
       {{kLastHistoryDate, "2007-01-04"}, {kLastHistoryText, "2007-01-05 - Mailed"}},
       0,
       {{kLastHistoryDate, "2007-01-04"}, {kLastHistoryText, "2007-01-05 - Mailed"}},
       "2007-01-04"},
      {"zero date becomes the unknown date, which gives today",
       {{kLastHistoryDate, "0000-00-00"}},
       0,
       {{kLastHistoryDate, "????-??-??"}},
       "2007-02-01"},
      {"unknown date gives today",
       {{kLastHistoryText, "????-??-?? - Mailed"}},
       0,
       {{kLastHistoryDate, "????-??-??"}, {kLastHistoryText, "Mailed"}},
       "2007-02-01"},
      {"reference from docket",
       {{kDocketNumber, "D-1"}},
       Day("2006-05-05"),
       {{kReference, "D-1"}, {kDocketNumber, "D-1"}},
       "2006-05-05"},
      {"docket from reference",
       {{kReference, "R-1"}},
       Day("2006-05-05"),
       {{kReference, "R-1"}, {kDocketNumber, "R-1"}},
       "2006-05-05"},
      {"both kept",
       {{kReference, "R-1"}, {kDocketNumber, "D-1"}},
       Day("2006-05-05"),
       {{kReference, "R-1"}, {kDocketNumber, "D-1"}},
       "2006-05-05"},
      {"placeholders cleared",
       {{kForeign, "None"},
        {kParentContinuity, "No Parent Continuity Data Found."},
        {kChildContinuity, "No Child Continuity Data Found."}},
       Day("2006-05-05"),
       {{kForeign, ""}, {kParentContinuity, ""}, {kChildContinuity, ""}},
       "2006-05-05"},
      {"near-placeholders kept",
       {{kForeign, "none"}, {kParentContinuity, "No Parent Continuity Data Found"}},
       Day("2006-05-05"),
       {{kForeign, "none"}, {kParentContinuity, "No Parent Continuity Data Found"}},
       "2006-05-05"},
      {"invalid history date gives today",
       {{kLastHistoryDate, "2007-13-01"}},
       0,
       {{kLastHistoryDate, "2007-13-01"}},
       "2007-02-01"},
  };
  for (const NormalizeCase& c : cases) {
    CEntry e;
    for (const auto& [id, text] : c.before) e.Text(id) = text;
    e.last_change = c.last_change_before;
    e.Normalize();
    for (const auto& [id, text] : c.after) EXPECT_EQ(e.Text(id), text) << c.what;
    EXPECT_EQ(e.GetText(kLastChange), c.last_change_after) << c.what;
  }
}

TEST(EntryCompare, SameStatusOverTheChangeList) {
  CEntry base;
  base.Text(kStatus) = "Allowed";
  base.Text(kLastHistoryDate) = "2007-01-05";
  base.Text(kLastHistoryText) = "Mailed";
  struct Case {
    int id;
    const char* value;
    bool same;
  };
  const Case cases[] = {
      {kDocketNumber, "other", true},
      {kError, "Timed out", true},
      {kStatus, "allowed", false},
      {kStatus, "", false},
      {kLastHistoryText, "Filed", false},
      {kLastHistoryDate, "2007-01-06", false},
      {kLastHistoryDate, "????-??-??", true},
      {kLastHistoryDate, "", true},
      {kLastHistoryDate, "2007-13-01", true},
      {kLastHistoryDate, "2007-01-05 x", true},
      {kPTE, "5", false},
      {kChildContinuity, "x", false},
  };
  for (const Case& c : cases) {
    CEntry changed = base;
    changed.Text(c.id) = c.value;
    EXPECT_EQ(base.SameStatus(changed), c.same) << kFields[c.id].key << " " << c.value;
    EXPECT_EQ(changed.SameStatus(base), c.same) << kFields[c.id].key << " " << c.value;
    const bool listed =
        std::find(kChangeList.begin(), kChangeList.end(), c.id) != kChangeList.end();
    if (listed) {
      EXPECT_EQ(CEntry::FieldDiffers(base, changed, c.id), !c.same) << kFields[c.id].key;
    }
  }
  CEntry other = base;
  other.frequency = kNever;
  other.last_update = 5;
  other.last_change = 6;
  EXPECT_TRUE(base.SameStatus(other));
  EXPECT_TRUE(CEntry::FieldDiffers(base, other, kFrequency));
}

}  // namespace
}  // namespace larkspire
