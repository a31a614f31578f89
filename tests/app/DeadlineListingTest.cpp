#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DeadlineListing.h"
#include "entries/Csv.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

CDeadline Open(std::string key, std::string reference, const char* due) {
  CDeadline deadline;
  deadline.entry_key = std::move(key);
  deadline.reference = std::move(reference);
  deadline.rule_key = "nonfinal";
  deadline.what = "Reply to non-final rejection";
  deadline.due = ParseDayNumber(due);
  deadline.computed_due = deadline.due - 1;
  deadline.last_date = deadline.due + 90;
  return deadline;
}

// The rows name the entry as the list now holds it (its reference may have changed since the
// deadline was computed), fall back to the docket's own record of an entry no longer listed, and
// leave out what is closed or done.
TEST(DeadlineListing, OpenRowsWithTheListsEntries) {
  CEntryList list;
  CEntry entry;
  entry.SetText(kAppNum, "12/345,601");
  entry.SetText(kReference, "CH-0601-US, renamed");
  list.Insert(entry);
  CDeadline done = Open(entry.Identifier(), "CH-0601-US", "2008-09-01");
  done.done = true;
  CDeadline closed = Open("application 12/345,603", "CH-0603-US", "2008-08-01");
  closed.closed_on = ParseDayNumber("2008-07-09");
  CDocket docket;
  docket.Replace({Open(entry.Identifier(), "CH-0601-US", "2008-10-08"), done, closed,
                  Open("application 12/345,602", "CH-0602-US", "2008-10-06")});

  const auto rows = OpenDeadlineRows(docket, list);
  const std::vector<std::vector<std::string>> expected = {
      {"CH-0602-US", "application 12/345,602", "Reply to non-final rejection", "2008-10-05",
       "2008-10-06", "2009-01-04"},
      {"CH-0601-US, renamed", "12/345,601", "Reply to non-final rejection", "2008-10-07",
       "2008-10-08", "2009-01-06"}};
  EXPECT_EQ(rows, expected);

  // The table lines up every column under its caption; the CSV quotes what needs it.
  const std::string table = FormatDeadlineTable(rows);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < table.size();) {
    const std::size_t end = table.find('\n', start);
    lines.push_back(table.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].find_first_not_of("- "), std::string::npos);
  for (const char* caption : {"Application", "What Is Due", "Due Date", "Last Date"}) {
    const std::size_t column = lines[0].find(caption);
    EXPECT_EQ(lines[1][column], '-') << caption;
    EXPECT_EQ(lines[2][column - 1], ' ') << caption;
    EXPECT_NE(lines[3][column], ' ') << caption;
  }
  std::string csv(kUtf8Bom);
  AppendCsvRecord(
      csv, {"Reference", "Application", "What Is Due", "Computed Date", "Due Date", "Last Date"});
  for (const auto& row : rows) AppendCsvRecord(csv, row);
  EXPECT_EQ(FormatDeadlineCsv(rows), csv);
  EXPECT_NE(csv.find("\"CH-0601-US, renamed\""), std::string::npos);

  EXPECT_EQ(FormatDeadlineTable({}), "No open deadlines.\n");
}

}  // namespace
}  // namespace larkspire
