#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "FakeToday.h"
#include "entries/DataFile.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

const std::string kFixtures = std::string(LARKSPIRE_TEST_DATA) + "/datafile/";

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

int32_t Day(const char* date) { return ParseDayNumber(date); }

// The field lists of each version, by key, as the format defines them.
const std::vector<std::string> kV2 = {
    "Reference",        "AppNum",     "FilingDate",      "Examiner", "IssueDate", "ArtUnit",
    "PatNum",           "Class",      "Location",        "Status",   "CustNum",   "Foreign",
    "ParentContinuity", "LastUpdate", "LastHistoryText", "Error",    "LastChange"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::map<int, std::vector<std::string>> FieldLists() {
  std::map<int, std::vector<std::string>> lists;
  lists[0] = {"Reference", "AppNum", "PatNum", "PubNum"};
  lists[2] = kV2;
  lists[3] = Concat({"Fequency"}, kV2);
  lists[4] = Concat(lists[3], {"PubNum", "PubDate", "ConfirmNum"});
  lists[5] = Concat(lists[4], {"PTA", "PTE"});
  lists[6] = {"Fequency",   "Reference",       "AppNum",  "FilingDate", "DocketNumber",
              "Examiner",   "IssueDate",       "ArtUnit", "PatNum",     "Class",
              "Location",   "Status",          "CustNum", "Foreign",    "ParentContinuity",
              "LastUpdate", "LastHistoryText", "Error",   "LastChange", "PubNum",
              "PubDate",    "ConfirmNum",      "PTA",     "PTE"};
  lists[7] = lists[6];
  lists[7].insert(lists[7].begin() + 16, "LastHistoryDate");
  lists[8] = Concat(lists[7], {"ChildContinuity"});
  return lists;
}

// A value that says which field it belongs to; numbers for the number fields.
std::string ValueFor(const std::string& key) {
  if (key == "Fequency") return "2";
  if (key == "LastUpdate") return std::to_string(Day("2007-01-03"));
  if (key == "LastChange") return std::to_string(Day("2006-11-30"));
  if (key == "LastHistoryText") return "2006-11-30 - text";
  if (key == "LastHistoryDate") return "2006-11-29";
  return "v" + key;
}

TEST(DataFileLoad, EachVersionFillsItsFields) {
  CFakeToday today("2007-01-10");
  for (const auto& [version, keys] : FieldLists()) {
    std::string line;
    for (const std::string& key : keys) line += (line.empty() ? "" : "\t") + ValueFor(key);
    CEntryList list;
    std::string error;
    ASSERT_TRUE(ParseDataFile(std::to_string(version) + "\r\n" + line + "\r\n", list, error))
        << version << " " << error;
    ASSERT_EQ(list.Size(), 1u);
    const CEntry& e = list.At(0);
    const auto carried = [&](const char* key) {
      return std::find(keys.begin(), keys.end(), key) != keys.end();
    };
    for (int id = 0; id < kFieldCount; ++id) {
      const std::string key = kFields[id].key;
      std::string expected = carried(key.c_str()) ? ValueFor(key) : "";
      if (id == kFrequency && !carried("Fequency")) expected = "0";
      if (id == kLastUpdate && !carried("LastUpdate")) expected = "0";
      if (id == kLastChange && version == 0) expected = "0";
      if (id == kDocketNumber && !carried("DocketNumber")) expected = "vReference";
      if (id == kLastHistoryDate && !carried("LastHistoryDate") && carried("LastHistoryText")) {
        expected = "2006-11-30";
      }
      if (id == kLastHistoryText && carried(key.c_str())) {
        expected = carried("LastHistoryDate") ? "2006-11-30 - text" : "text";
      }
      EXPECT_EQ(e.GetText(id, true), expected) << "version " << version << " field " << key;
    }
  }
}

TEST(DataFileLoad, VersionZeroEntryStartsDailyWithNoChange) {
  CFakeToday today("2007-01-10");
  CEntryList list;
  std::string error;
  ASSERT_TRUE(LoadDataFile(kFixtures + "version0.dat", list, error)) << error;
  ASSERT_EQ(list.Size(), 1u);
  const CEntry& e = list.At(0);
  EXPECT_EQ(e.Text(kReference), "REF1");
  EXPECT_EQ(e.Text(kAppNum), "12/345,678");
  EXPECT_EQ(e.frequency, kDaily);
  EXPECT_EQ(e.last_change, 0);
  EXPECT_EQ(e.last_update, 0);
}

TEST(DataFileLoad, VersionTwoFile) {
  CFakeToday today("2007-01-10");
  CEntryList list;
  std::string error;
  ASSERT_TRUE(LoadDataFile(kFixtures + "version2.dat", list, error)) << error;
  ASSERT_EQ(list.Size(), 2u);
  // Both Daily, so the order falls to AppNum.
  const CEntry& first = list.At(0);
  const CEntry& second = list.At(1);
  EXPECT_EQ(first.Text(kReference), "R-1");
  EXPECT_EQ(first.Text(kStatus), "Patented Case");
  EXPECT_EQ(first.GetText(kLastChange), "2005-01-01");
  EXPECT_EQ(second.Text(kReference), "R-2");
  EXPECT_EQ(second.frequency, kDaily);
  EXPECT_EQ(second.Text(kDocketNumber), "R-2");
  EXPECT_EQ(second.Text(kExaminer), "SMITH, JOHN");
  EXPECT_EQ(second.Text(kLocation), "FILE REPOSITORY");
  EXPECT_EQ(second.Text(kForeign), "");
  EXPECT_EQ(second.Text(kParentContinuity), "");
  EXPECT_EQ(second.GetText(kLastUpdate), "2006-06-01");
  EXPECT_EQ(second.Text(kLastHistoryDate), "2006-05-04");
  EXPECT_EQ(second.Text(kLastHistoryText), "Mail Non-Final Rejection");
  // LastChange 0 in the file: the history date stands in.
  EXPECT_EQ(second.GetText(kLastChange), "2006-05-04");
}

TEST(DataFileLoad, ShortLinesLongLinesEmptyLinesAndLoneLineFeeds) {
  CFakeToday today("2007-01-10");
  const std::string long_status(10000, 'S');
  const std::string text =
      "8\n"
      "1\tshort\t10/000,001\n"
      "\n"
      "\r\n"
      "0\tlong\t10/000,002\t\t\t\t\t\t\t\t\t" +
      long_status +
      "\n"
      "0\textra\t10/000,003" +
      std::string(26, '\t') + "beyond\tmore";
  CEntryList list;
  std::string error;
  ASSERT_TRUE(ParseDataFile(text, list, error)) << error;
  ASSERT_EQ(list.Size(), 3u);
  EXPECT_EQ(list.At(0).Text(kReference), "long");
  EXPECT_EQ(list.At(0).Text(kStatus), long_status);
  EXPECT_EQ(list.At(1).Text(kReference), "extra");
  EXPECT_EQ(list.At(1).Text(kChildContinuity), "");
  const CEntry& short_entry = list.At(2);
  EXPECT_EQ(short_entry.Text(kReference), "short");
  EXPECT_EQ(short_entry.frequency, kWeekly);
  EXPECT_EQ(short_entry.last_update, 0);
  EXPECT_EQ(short_entry.GetText(kLastChange), "2007-01-10");
  for (int id = kReference; id < kFieldCount; ++id) {
    if (id != kReference && id != kDocketNumber && id != kAppNum) {
      EXPECT_EQ(short_entry.Text(id), "") << kFields[id].key;
    }
  }
}

TEST(DataFileLoad, StrayCarriageReturnBecomesABlank) {
  CEntryList list;
  std::string error;
  ASSERT_TRUE(ParseDataFile("0\r\nA\rB\t10/000,001\r\r\n", list, error)) << error;
  ASSERT_EQ(list.Size(), 1u);
  EXPECT_EQ(list.At(0).Text(kReference), "A B");
  EXPECT_EQ(list.At(0).Text(kAppNum), "10/000,001 ");
}

TEST(DataFileLoad, EntriesLandInTheListsSortOrder) {
  CFakeToday today("2007-01-10");
  CEntryList list;
  list.SetSort(kReference, true);
  std::string error;
  ASSERT_TRUE(ParseDataFile("0\nb\nC\na\nB-\n", list, error));
  std::vector<std::string> references;
  for (std::size_t i = 0; i < list.Size(); ++i) references.push_back(list.At(i).Text(kReference));
  EXPECT_EQ(references, (std::vector<std::string>{"C", "b", "B-", "a"}));
}

TEST(DataFileLoad, MessagesForRejectedFiles) {
  struct Case {
    std::string bytes;
    const char* message;
    std::size_t entries_kept;
  };
  const Case cases[] = {
      {"1\r\nREF1\t12/345,678\r\n",
       "Application data file is no longer supported. Delete Log\\patent.dat and rerun "
       "Larkspire\xAE.",
       0},
      {"9\r\n0\tREF1\r\n", "Incompatible application data file.", 0},
      {"10\r\n", "Incompatible application data file.", 0},
      {"-1\r\n", "Incompatible application data file.", 0},
      {"99999999999\r\n", "Incompatible application data file.", 0},
      {"Reference\tAppNum\r\nREF1\t12/345,678\r\n",
       "Data error in application data file at line #1.", 0},
      {"\r\nREF1\t12/345,678\r\n", "Data error in application data file at line #1.", 0},
      {"8\r\n0\tok\r\n\r\nREF1\t12/345,678\r\n0\tnever read\r\n",
       "Data error in application data file at line #4.", 1},
      {"3\n0\tok\n0\tx\t\t\t\t\t\t\t\t\t\t\t\t\t99999999999\n",
       "Data error in application data file at line #3.", 1},
  };
  for (const Case& c : cases) {
    CEntryList list;
    std::string error;
    EXPECT_FALSE(ParseDataFile(c.bytes, list, error)) << c.bytes;
    EXPECT_EQ(error, c.message) << c.bytes;
    EXPECT_EQ(list.Size(), c.entries_kept) << c.bytes;
  }
}

TEST(DataFileLoad, AcceptedHeaders) {
  for (const char* bytes : {"", "8", "8\r\n", " 8\r\n", "+8 extra\r\n", "0"}) {
    CEntryList list;
    std::string error;
    EXPECT_TRUE(ParseDataFile(bytes, list, error)) << bytes;
    EXPECT_EQ(error, "");
    EXPECT_TRUE(list.Empty());
  }
}

TEST(DataFileLoad, MissingFileIsEmptyUnreadableFileIsAnError) {
  CTempDir dir;
  CEntryList list;
  std::string error;
  EXPECT_TRUE(LoadDataFile(dir.File(kDataFileName), list, error));
  EXPECT_TRUE(list.Empty());
  ASSERT_TRUE(MakeDirectories(dir.File(kDataFileName)));
  EXPECT_FALSE(LoadDataFile(dir.File(kDataFileName), list, error));
  EXPECT_EQ(error, kDataFileUnreadableMessage);
}

// What the program does with the file over one run: load, and save at exit only after a load
// without a message.
bool RunOnce(const std::string& path, std::string& error) {
  CEntryList list;
  const bool loaded = LoadDataFile(path, list, error);
  if (loaded) SaveDataFile(path, list);
  return loaded;
}

TEST(DataFileSave, RejectedAndDamagedFilesStayByteForByte) {
  CFakeToday today("2007-01-10");
  CTempDir dir;
  const std::string damaged = "8\r\n0\tok\t10/000,001\r\nnot a number\r\n";
  for (const std::string& bytes :
       {ReadBytes(kFixtures + "version1.dat"), ReadBytes(kFixtures + "version9.dat"), damaged}) {
    const std::string path = dir.File(kDataFileName);
    ASSERT_TRUE(SaveFileAtomically(path, bytes));
    std::string error;
    EXPECT_FALSE(RunOnce(path, error));
    EXPECT_NE(error, "");
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

TEST(DataFileSave, ProgramWrittenFileRoundTripsByteForByte) {
  CFakeToday today("2007-01-10");
  CTempDir dir;
  const std::string path = dir.File(kDataFileName);
  const std::string original = ReadBytes(kFixtures + "version8.dat");
  ASSERT_TRUE(SaveFileAtomically(path, original));
  std::string error;
  ASSERT_TRUE(RunOnce(path, error)) << error;
  EXPECT_EQ(ReadBytes(path), original);
  // A day later nothing in the file depends on the date.
  today.Set("2007-01-11");
  ASSERT_TRUE(RunOnce(path, error)) << error;
  EXPECT_EQ(ReadBytes(path), original);
}

TEST(DataFileSave, OlderVersionsAreRewrittenAsVersionEightAndThenStay) {
  CFakeToday today("2007-01-10");
  CTempDir dir;
  const std::string path = dir.File(kDataFileName);
  ASSERT_TRUE(SaveFileAtomically(path, ReadBytes(kFixtures + "version2.dat")));
  std::string error;
  ASSERT_TRUE(RunOnce(path, error)) << error;
  const std::string first = ReadBytes(path);
  EXPECT_EQ(first.substr(0, 3), "8\r\n");
  ASSERT_TRUE(RunOnce(path, error)) << error;
  EXPECT_EQ(ReadBytes(path), first);
}

TEST(DataFileSave, WritesVersionEightInRowOrderWithCrLf) {
  CFakeToday today("2007-01-10");
  CEntryList list;
  CEntry a;
  a.SetText(kReference, "A");
  a.frequency = kMonthly;
  a.last_update = -5;
  a.Text(kChildContinuity) = "child";
  a.Text(kStatus) = "tab\there\nand line";  // placed directly, bypassing SetText
  CEntry b;
  b.SetText(kReference, "B");
  list.Insert(a);
  list.Insert(b);
  list.SetSort(kReference, true);
  const std::string expected =
      "8\r\n"
      "0\tB\t\t\t\t\t\t\t\t\t\t\t\t\t\t0\t\t\t\t0\t\t\t\t\t\t\r\n"
      "2\tA\t\t\t\t\t\t\t\t\t\ttab here and line\t\t\t\t-5\t\t\t\t0\t\t\t\t\t\tchild\r\n";
  EXPECT_EQ(FormatDataFile(list), expected);

  CTempDir dir;
  EXPECT_TRUE(SaveDataFile(dir.File(kDataFileName), list));
  EXPECT_EQ(ReadBytes(dir.File(kDataFileName)), expected);
  EXPECT_FALSE(SaveDataFile(dir.File("missing-dir/patent.dat"), list));
}

}  // namespace
}  // namespace larkspire
