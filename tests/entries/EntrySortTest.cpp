#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "entries/Entry.h"
#include "entries/EntryList.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

CEntry Make(std::vector<std::pair<int, const char*>> fields) {
  CEntry e;
  for (const auto& [id, text] : fields) e.SetText(id, text);
  return e;
}

int Sign(int v) { return (v > 0) - (v < 0); }

struct CompareCase {
  const char* what;
  int id;
  CEntry a;
  CEntry b;
  int primary;  // sign of CompareField(a, b)
};

TEST(EntrySort, PrimaryComparisons) {
  const int32_t jan5 = ParseDayNumber("2007-01-05");
  const std::string jan5_text = std::to_string(jan5);
  const std::string jan6_text = std::to_string(jan5 + 1);
  const CompareCase cases[] = {
      {"daily first", kFrequency, Make({{kFrequency, "0"}}), Make({{kFrequency, "4"}}), -1},
      {"never last", kFrequency, Make({{kFrequency, "4"}}), Make({{kFrequency, "1"}}), 1},
      {"recent update first", kLastUpdate, Make({{kLastUpdate, jan6_text.c_str()}}),
       Make({{kLastUpdate, jan5_text.c_str()}}), -1},
      {"never updated last", kLastUpdate, Make({{kLastUpdate, "0"}}),
       Make({{kLastUpdate, jan5_text.c_str()}}), 1},
      {"recent change first", kLastChange, Make({{kLastChange, jan6_text.c_str()}}),
       Make({{kLastChange, jan5_text.c_str()}}), -1},
      {"reference ignores punctuation and case", kReference, Make({{kReference, "A-12"}}),
       Make({{kReference, "a12"}}), 0},
      {"reference accented letters fold", kReference, Make({{kReference, "r\xE9-1"}}),
       Make({{kReference, "R\xC9 1"}}), 0},
      {"reference letters before lower-case tail", kReference, Make({{kReference, "AB"}}),
       Make({{kReference, "a-c"}}), -1},
      {"reference digits before letters", kReference, Make({{kReference, "9"}}),
       Make({{kReference, "A"}}), -1},
      {"reference prefix first", kReference, Make({{kReference, "A1"}}),
       Make({{kReference, "a1-0"}}), -1},
      {"reference empty first", kReference, Make({{kReference, ""}}), Make({{kReference, "A"}}),
       -1},
      {"filing newest first", kFilingDate, Make({{kFilingDate, "2007-01-06"}}),
       Make({{kFilingDate, "2007-01-05"}}), -1},
      {"filing empty last", kFilingDate, Make({{kFilingDate, ""}}),
       Make({{kFilingDate, "2007-01-05"}}), 1},
      {"history date newest first", kLastHistoryDate, Make({{kLastHistoryDate, "2006-12-31"}}),
       Make({{kLastHistoryDate, "2007-01-01"}}), 1},
      {"issue date", kIssueDate, Make({{kIssueDate, "2008-01-01"}}),
       Make({{kIssueDate, "2007-01-01"}}), -1},
      {"pub date", kPubDate, Make({{kPubDate, "2008-01-01"}}), Make({{kPubDate, "2007-01-01"}}),
       -1},
      {"examiner case-insensitive", kExaminer, Make({{kExaminer, "smith"}}),
       Make({{kExaminer, "SMITH"}}), 0},
      {"examiner alphabetical", kExaminer, Make({{kExaminer, "adams"}}),
       Make({{kExaminer, "Baker"}}), -1},
      {"examiner empty last", kExaminer, Make({{kExaminer, ""}}), Make({{kExaminer, "Z"}}), 1},
      {"examiner both empty", kExaminer, Make({}), Make({}), 0},
      {"examiner punctuation counts", kExaminer, Make({{kExaminer, "A-B"}}),
       Make({{kExaminer, "AB"}}), -1},
      {"status", kStatus, Make({{kStatus, "b"}}), Make({{kStatus, "A"}}), 1},
      {"error all equal", kError, Make({{kError, "x"}}), Make({}), 0},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(Sign(c.a.CompareField(c.b, c.id)), c.primary) << c.what;
    EXPECT_EQ(Sign(c.b.CompareField(c.a, c.id)), -c.primary) << c.what;
  }
}

TEST(EntrySort, ReversalNegatesOnlyThePrimaryComparison) {
  const CEntry with_examiner = Make({{kExaminer, "SMITH"}, {kAppNum, "11/000,000"}});
  const CEntry without = Make({{kAppNum, "10/000,000"}});
  EXPECT_LT(with_examiner.SortCompare(without, kExaminer, false), 0);
  EXPECT_GT(with_examiner.SortCompare(without, kExaminer, true), 0);

  // Equal references: the tie falls to AppNum, ascending whatever the direction.
  const CEntry a = Make({{kReference, "A-12"}, {kAppNum, "10/000,000"}});
  const CEntry b = Make({{kReference, "a12"}, {kAppNum, "11/000,000"}});
  for (bool reversed : {false, true}) {
    EXPECT_LT(a.SortCompare(b, kReference, reversed), 0) << reversed;
    EXPECT_GT(b.SortCompare(a, kReference, reversed), 0) << reversed;
  }
}

TEST(EntrySort, TiesFallToAppNumThenPatNum) {
  struct Case {
    const char* what;
    int id;
    CEntry a;
    CEntry b;
    int result;
  };
  const Case cases[] = {
      {"app decides", kError, Make({{kAppNum, "10/1"}, {kPatNum, "9"}}),
       Make({{kAppNum, "10/2"}, {kPatNum, "1"}}), -1},
      {"pat decides when apps equal", kError, Make({{kAppNum, "10/1"}, {kPatNum, "2"}}),
       Make({{kAppNum, "10/1"}, {kPatNum, "1"}}), 1},
      {"empty app sorts after", kStatus, Make({{kPatNum, "1"}}), Make({{kAppNum, "10/1"}}), 1},
      {"sorting by AppNum goes straight to PatNum", kAppNum,
       Make({{kAppNum, "10/1"}, {kPatNum, "2"}}), Make({{kAppNum, "10/1"}, {kPatNum, "1"}}), 1},
      {"sorting by PatNum uses AppNum once", kPatNum, Make({{kAppNum, "10/2"}, {kPatNum, "1"}}),
       Make({{kAppNum, "10/1"}, {kPatNum, "1"}}), 1},
      {"all equal", kError, Make({{kAppNum, "10/1"}, {kPatNum, "1"}, {kReference, "x"}}),
       Make({{kAppNum, "10/1"}, {kPatNum, "1"}, {kReference, "y"}}), 0},
  };
  for (const Case& c : cases) {
    for (bool reversed : {false, true}) {
      EXPECT_EQ(Sign(c.a.SortCompare(c.b, c.id, reversed)), c.result) << c.what;
    }
  }
}

std::vector<std::string> References(const CEntryList& list) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.Size(); ++i) out.push_back(list.At(i).Text(kReference));
  return out;
}

TEST(EntryList, InsertKeepsOrderAndPutsEqualEntriesAfter) {
  CEntryList list;
  list.SetSort(kExaminer, false);
  EXPECT_EQ(list.Insert(Make({{kReference, "1"}, {kExaminer, "B"}})), 0u);
  EXPECT_EQ(list.Insert(Make({{kReference, "2"}})), 1u);
  EXPECT_EQ(list.Insert(Make({{kReference, "3"}, {kExaminer, "A"}})), 0u);
  EXPECT_EQ(list.Insert(Make({{kReference, "4"}, {kExaminer, "b"}})), 2u);
  EXPECT_EQ(list.Insert(Make({{kReference, "5"}})), 4u);
  EXPECT_EQ(References(list), (std::vector<std::string>{"3", "1", "4", "2", "5"}));

  list.SetSort(kExaminer, true);
  EXPECT_EQ(References(list), (std::vector<std::string>{"2", "5", "1", "4", "3"}));
  EXPECT_EQ(list.SortField(), kExaminer);
  EXPECT_TRUE(list.SortReversed());
}

TEST(EntryList, InsertAllMatchesInsertingOneByOne) {
  std::mt19937 random(12345);
  const char* examiners[] = {"", "A", "a", "B", "C"};
  const char* apps[] = {"", "10/1", "10/2"};
  for (int existing : {0, 7, 40}) {
    CEntryList one_by_one;
    CEntryList at_once;
    one_by_one.SetSort(kExaminer, existing % 2 == 1);
    at_once.SetSort(kExaminer, existing % 2 == 1);
    std::vector<CEntry> batch;
    for (int i = 0; i < existing + 60; ++i) {
      CEntry e = Make({{kExaminer, examiners[random() % 5]}, {kAppNum, apps[random() % 3]}});
      e.Text(kReference) = std::to_string(i);
      if (i < existing) {
        one_by_one.Insert(e);
        at_once.Insert(e);
      } else {
        one_by_one.Insert(e);
        batch.push_back(e);
      }
    }
    at_once.InsertAll(std::move(batch));
    EXPECT_EQ(References(at_once), References(one_by_one)) << existing;
  }
}

TEST(EntryList, SortKeepsSelectionWithItsEntry) {
  CEntryList list;
  list.SetSort(kReference, false);
  for (const char* ref : {"B", "A", "C"}) list.Insert(Make({{kReference, ref}}));
  list.SetSelected(2, true);  // C
  list.SetUpdating(0, true);  // A
  list.SetSort(kReference, true);
  EXPECT_EQ(References(list), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(list.SelectedRows(), std::vector<std::size_t>{0});
  EXPECT_TRUE(list.IsUpdating(2));
  list.SelectAll(true);
  EXPECT_EQ(list.SelectedCount(), 3u);
  list.Remove(1);
  EXPECT_EQ(References(list), (std::vector<std::string>{"C", "A"}));
  list.Replace(0, Make({{kReference, "Z"}}));
  EXPECT_EQ(References(list), (std::vector<std::string>{"Z", "A"}));
  EXPECT_TRUE(list.IsSelected(0));
  list.SelectAll(false);
  EXPECT_EQ(list.SelectedCount(), 0u);
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

// The sort by next deadline reads its keys from the layer above: a key source made once per sort
// or insertion, entries without a deadline keyed last, ties by AppNum as for the fields.
TEST(EntryList, SortsByNextDeadlineKeysFromItsSource) {
  CEntryList list;
  int sources_made = 0;
  list.SetSortKeySource([&sources_made] {
    ++sources_made;
    return [](const CEntry& e) -> int64_t {
      const std::string& due = e.Text(kDocketNumber);  // the test's stand-in for the docket
      return due.empty() ? INT64_MAX : std::stoll(due);
    };
  });
  list.SetSort(kSortNextDeadline, false);
  EXPECT_EQ(sources_made, 1);
  for (auto [ref, app, due] : {std::tuple{"none", "10/9", ""},
                               {"late", "10/1", "50"},
                               {"soon-b", "10/3", "10"},
                               {"soon-a", "10/2", "10"}}) {
    list.Insert(Make({{kReference, ref}, {kAppNum, app}, {kDocketNumber, due}}));
  }
  EXPECT_EQ(sources_made, 5);
  EXPECT_EQ(References(list), (std::vector<std::string>{"soon-a", "soon-b", "late", "none"}));
  list.SetSort(kSortNextDeadline, true);
  EXPECT_EQ(References(list), (std::vector<std::string>{"none", "late", "soon-a", "soon-b"}));

  CEntryList at_once;
  at_once.SetSortKeySource([] {
    return
        [](const CEntry& e) -> int64_t { return -static_cast<int64_t>(e.Text(kReference).size()); };
  });
  at_once.SetSort(kSortNextDeadline, false);
  at_once.Insert(Make({{kReference, "bb"}}));
  at_once.InsertAll(
      {Make({{kReference, "a"}}), Make({{kReference, "ccc"}}), Make({{kReference, "dd"}})});
  EXPECT_EQ(References(at_once), (std::vector<std::string>{"ccc", "bb", "dd", "a"}));
}

TEST(EntryList, SortFieldKeysIncludeTheNextDeadline) {
  struct Case {
    const char* key;
    int field;
  };
  for (const Case& c : {Case{"NextDeadline", kSortNextDeadline},
                        {"nextdeadline", kSortNextDeadline},
                        {"Status", kStatus},
                        {"Fequency", kFrequency},
                        {"Next", -1}}) {
    EXPECT_EQ(FindSortField(c.key), c.field) << c.key;
    if (c.field >= 0) {
      EXPECT_EQ(FindSortField(SortFieldKey(c.field)), c.field) << c.key;
    }
  }
}

TEST(EntryList, FindDuplicateByPatentElseApplication) {
  CEntryList list;
  list.Insert(Make({{kReference, "r0"}, {kAppNum, "10/111,111"}}));
  list.Insert(Make({{kReference, "r1"}, {kAppNum, "10/222,222"}, {kPatNum, "RE12,345"}}));
  list.Insert(Make({{kReference, "r2"}, {kPubNum, "2007-0123456 A1"}}));
  struct Case {
    CEntry probe;
    const char* found;  // reference of the duplicate, or "" for none
  };
  const Case cases[] = {
      {Make({{kPatNum, "re12,345"}}), "r1"},
      {Make({{kAppNum, "10/111,111"}}), "r0"},
      {Make({{kAppNum, "10/222,222"}}), "r1"},
      {Make({{kAppNum, "10/111,111"}, {kPatNum, "7,000,000"}}), ""},
      {Make({{kPubNum, "2007-0123456 A1"}}), ""},
      {Make({}), ""},
      {Make({{kAppNum, "10/111,11"}}), ""},
  };
  for (const Case& c : cases) {
    const auto row = list.FindDuplicate(c.probe);
    EXPECT_EQ(row ? list.At(*row).Text(kReference) : std::string(), c.found)
        << c.probe.Identifier();
  }
}

}  // namespace
}  // namespace larkspire
