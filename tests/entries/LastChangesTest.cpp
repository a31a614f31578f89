#include <gtest/gtest.h>

#include <string>

#include "entries/Entry.h"
#include "entries/LastChanges.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

CEntry Application(const char* number, const char* status, int32_t last_change) {
  CEntry entry;
  entry.Text(kAppNum) = number;
  entry.Text(kStatus) = status;
  entry.last_change = last_change;
  return entry;
}

TEST(LastChanges, OnlyTheReportedFieldsThatDifferAreKeptWithBothValues) {
  CEntry was = Application("10/123,456", "Pending", 100);
  CEntry now = was;
  now.Text(kStatus) = "Allowed";
  now.Text(kExaminer) = "SMITH, JOHN";
  now.last_update = 200;  // not a reported field
  EXPECT_EQ(ChangedFields(was, now), (std::vector<CFieldChange>{{kExaminer, "", "SMITH, JOHN"},
                                                                {kStatus, "Pending", "Allowed"}}));
}

TEST(LastChanges, PageTextWithTabsLineEndsAndBackslashesComesBackAsItWas) {
  LastChanges changes;
  changes["application 10/123,456"] = {
      5000, {{kStatus, "a\tb\\n", "line one\r\nline two"}, {kLastHistoryText, "", "x\\"}}};
  changes["7,654,321"] = {5001, {{kPTA, "0", "12"}}};
  const std::string text = FormatLastChanges(changes);
  LastChanges read;
  ASSERT_TRUE(ParseLastChanges(text, read));
  EXPECT_EQ(read, changes);
}

TEST(LastChanges, ADamagedFileReadsAsNothing) {
  LastChanges changes;
  changes["7,654,321"] = {5001, {{kPTA, "0", "12"}}};
  const std::string whole = FormatLastChanges(changes);
  const std::string damaged[] = {
      "",
      "Larkspire last changes 2\n",
      whole.substr(0, whole.size() - 1),             // cut short
      whole + "\tStatus\tonly two\n",                // a field missing a value
      whole + "\tNoSuchField\ta\tb\n",               // a field nobody knows
      whole + "7,000,000\tyesterday\n",              // a day that is no number
      whole + "\\q\t5002\n",                         // an escape nobody writes
      "Larkspire last changes 1\n\tStatus\ta\tb\n",  // a field before any entry
  };
  for (const std::string& text : damaged) {
    LastChanges read;
    EXPECT_FALSE(ParseLastChanges(text, read)) << text;
    CTempDir dir;
    ASSERT_TRUE(SaveFileAtomically(dir.File(kLastChangesFileName), text));
    EXPECT_TRUE(ReadLastChanges(dir.Path()).empty()) << text;
  }
  CTempDir empty;
  EXPECT_TRUE(ReadLastChanges(empty.Path()).empty());
}

TEST(LastChanges, ARecordReplacesTheEntrysLastAndOldRecordsLeave) {
  CTempDir dir;
  const CEntry old_one = Application("10/000,001", "Pending", 1000);
  const CEntry entry = Application("10/000,002", "Allowed", 1000 + kLastChangesKeptDays);
  ASSERT_TRUE(RecordLastChange(dir.Path(), old_one, {1000, {{kStatus, "New", "Pending"}}}));
  ASSERT_TRUE(RecordLastChange(dir.Path(), entry, {1010, {{kStatus, "New", "Pending"}}}));
  ASSERT_TRUE(
      RecordLastChange(dir.Path(), entry, {entry.last_change, {{kStatus, "Pending", "Allowed"}}}));
  LastChanges changes = ReadLastChanges(dir.Path());
  ASSERT_EQ(changes.size(), 2u);
  const CLastChange* last = LastChangeOf(changes, entry);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->fields, (std::vector<CFieldChange>{{kStatus, "Pending", "Allowed"}}));
  // Only the record of the entry's present last change counts.
  CEntry changed_since = entry;
  changed_since.last_change += 1;
  EXPECT_EQ(LastChangeOf(changes, changed_since), nullptr);
  // A change further on sends the first entry's record, too old to matter, away.
  const CEntry later = Application("10/000,003", "Allowed", entry.last_change + 1);
  ASSERT_TRUE(RecordLastChange(dir.Path(), later, {later.last_change, {}}));
  changes = ReadLastChanges(dir.Path());
  EXPECT_EQ(LastChangeOf(changes, old_one), nullptr);
  EXPECT_NE(LastChangeOf(changes, entry), nullptr);
  EXPECT_FALSE(RecordLastChange("", entry, {1, {}}));
}

}  // namespace
}  // namespace larkspire
