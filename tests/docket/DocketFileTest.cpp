#include <gtest/gtest.h>

#include "docket/DocketFile.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

CDeadline Deadline(const std::string& entry_key, const std::string& reference) {
  CDeadline deadline;
  deadline.entry_key = entry_key;
  deadline.reference = reference;
  deadline.rule_key = "nonfinal";
  deadline.what = "Reply to non-final rejection";
  deadline.opening_event = "Mail Non-Final Rejection";
  deadline.opened_on = ParseDayNumber("2024-02-27");
  deadline.computed_due = ParseDayNumber("2024-05-27");
  deadline.due = ParseDayNumber("2024-05-28");
  deadline.last_date = ParseDayNumber("2024-08-27");
  deadline.extendable = true;
  return deadline;
}

TEST(DocketFile, RoundTripKeepsEveryFieldAndValuesFromOutsideCannotBreakALine) {
  CTempDir dir;
  const std::string path = dir.File(kDocketFileName);
  CDocket docket;
  CDeadline hostile = Deadline("10/123,456", "K\t1\r\nforged\tline\\x\x01\x7f end");
  hostile.closed_on = ParseDayNumber("2024-05-01");
  hostile.closing_event = "Response after Non-Final Action";
  hostile.done = true;
  CDeadline fee = Deadline("D\xE9sign \xC3\xA9", "");
  fee.rule_key = "fee-1";
  fee.what = "Maintenance fee due at 3.5 years";
  fee.opening_event = "";
  fee.window_opens = ParseDayNumber("2027-02-28");
  docket.Replace({hostile, fee});
  ASSERT_EQ(SaveDocket(path, docket), "");

  const std::string bytes = ReadBytes(path);
  EXPECT_TRUE(bytes.starts_with(std::string(kDocketFileHeader) + "\r\n"));
  // A header and one line per deadline, whatever the values hold.
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 3);

  CDocket loaded;
  ASSERT_EQ(LoadDocket(path, loaded), "");
  EXPECT_EQ(loaded.All(), docket.All());
  EXPECT_EQ(loaded.ForEntry("10/123,456").size(), 1u);
  // Saving what was loaded gives the same bytes.
  ASSERT_EQ(SaveDocket(path, loaded), "");
  EXPECT_EQ(ReadBytes(path), bytes);
}

// A deadline whose entry was keyed anew keeps its UID in the file, in the second format; a
// docket without such a deadline keeps the first, which earlier versions read.
TEST(DocketFile, AUidThatOutlivedItsKeyIsKeptAndOnlyThenIsTheFormatNew) {
  CTempDir dir;
  const std::string path = dir.File(kDocketFileName);
  CDocket docket;
  CDeadline moved = Deadline("application 10/123,456", "Non-Final Rejection");
  moved.uid = moved.KeyedUid();
  moved.entry_key = "patent 9,123,456";
  docket.Replace({moved, Deadline("application 11/000,001", "Final Rejection")});
  ASSERT_EQ(SaveDocket(path, docket), "");
  const std::string bytes = ReadBytes(path);
  EXPECT_TRUE(bytes.starts_with(std::string(kDocketFileHeaderWithUids) + "\r\n")) << bytes;

  CDocket loaded;
  ASSERT_EQ(LoadDocket(path, loaded), "");
  EXPECT_EQ(loaded.All(), docket.All());
  EXPECT_NE(loaded.Find(moved.uid), nullptr);
  ASSERT_EQ(SaveDocket(path, loaded), "");
  EXPECT_EQ(ReadBytes(path), bytes);

  loaded.RemoveEntry("patent 9,123,456");
  ASSERT_EQ(SaveDocket(path, loaded), "");
  EXPECT_TRUE(ReadBytes(path).starts_with(std::string(kDocketFileHeader) + "\r\n"));
  ASSERT_EQ(LoadDocket(path, docket), "");
  EXPECT_EQ(docket.All(), loaded.All());
}

TEST(DocketFile, AMissingFileIsAnEmptyDocket) {
  CTempDir dir;
  CDocket docket;
  docket.Replace({Deadline("10/000,001", "")});
  EXPECT_EQ(LoadDocket(dir.File(kDocketFileName), docket), "");
  EXPECT_TRUE(docket.All().empty());
}

TEST(DocketFile, ADamagedFileIsRefusedByNameAndLeftUntouched) {
  CDocket good;
  good.Replace({Deadline("10/000,001", "R")});
  const std::string line = FormatDocket(good).substr(kDocketFileHeader.size() + 2);
  const std::string header = std::string(kDocketFileHeader) + "\r\n";
  const struct {
    const char* what;
    std::string bytes;
    bool newer = false;
  } cases[] = {
      {"empty", ""},
      {"another file's header", "8\r\n" + line},
      {"a newer format", "Larkspire docket 3\r\n" + line, true},
      {"a line cut short", header + line.substr(0, line.size() - 2)},
      {"a field missing", header + line.substr(line.find('\t') + 1)},
      {"a broken escape", header + "x\\q" + line.substr(line.find('\t'))},
      {"a date that is no date", header + line.substr(0, line.find("2024-02-27")) + "2024-02-30" +
                                     line.substr(line.find("2024-02-27") + 10)},
  };
  CTempDir dir;
  const std::string path = dir.File(kDocketFileName);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SaveFileAtomically(path, c.bytes));
    CDocket docket;
    docket.Replace({Deadline("10/999,999", "kept")});
    const std::string problem = LoadDocket(path, docket);
    EXPECT_NE(problem.find(path), std::string::npos) << problem;
    EXPECT_NE(problem.find(c.newer ? "newer version" : "damaged"), std::string::npos) << problem;
    ASSERT_EQ(docket.All().size(), 1u);
    EXPECT_EQ(docket.All()[0].entry_key, "10/999,999");
    EXPECT_EQ(ReadBytes(path), c.bytes);
  }
  // The unchanged line itself is read.
  ASSERT_TRUE(SaveFileAtomically(path, header + line));
  CDocket docket;
  EXPECT_EQ(LoadDocket(path, docket), "");
  EXPECT_EQ(docket.All(), good.All());
}

}  // namespace
}  // namespace larkspire
