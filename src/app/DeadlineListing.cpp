#include "app/DeadlineListing.h"

#include <algorithm>
#include <map>

#include "docket/DocketFile.h"
#include "entries/Csv.h"
#include "entries/DataFile.h"
#include "platform/Files.h"
#include "platform/SettingsBackend.h"
#include "rules/Dates.h"
#include "run/Settings.h"

namespace larkspire {
namespace {

const std::vector<std::string> kHeader = {"Reference",     "Application", "What Is Due",
                                          "Computed Date", "Due Date",    "Last Date"};
constexpr const char* kNoOpenDeadlines = "No open deadlines.";
constexpr const char* kColumnGap = "  ";

}  // namespace

std::vector<std::vector<std::string>> OpenDeadlineRows(const CDocket& docket,
                                                       const CEntryList& list) {
  std::map<std::string, const CEntry*, std::less<>> by_key;
  for (std::size_t row = 0; row < list.Size(); ++row) {
    by_key.emplace(list.At(row).Identifier(), &list.At(row));
  }
  std::vector<std::vector<std::string>> rows;
  for (const CDeadline* deadline : docket.OpenEarliestFirst()) {
    const auto found = by_key.find(deadline->entry_key);
    // An entry the list no longer holds still shows what the docket knew of it.
    const CEntry* entry = found == by_key.end() ? nullptr : found->second;
    std::string application = entry ? entry->Text(kAppNum) : deadline->entry_key;
    if (application.empty()) application = deadline->entry_key;
    rows.push_back({entry ? entry->Text(kReference) : deadline->reference, application,
                    deadline->what, FormatDayNumber(deadline->computed_due),
                    FormatDayNumber(deadline->due), FormatDayNumber(deadline->last_date)});
  }
  return rows;
}

std::string FormatDeadlineTable(const std::vector<std::vector<std::string>>& rows) {
  if (rows.empty()) return std::string(kNoOpenDeadlines) + "\n";
  std::vector<std::size_t> widths(kHeader.size());
  for (std::size_t column = 0; column < kHeader.size(); ++column) {
    widths[column] = kHeader[column].size();
    for (const auto& row : rows) widths[column] = std::max(widths[column], row[column].size());
  }
  std::string text;
  const auto append_line = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t column = 0; column < cells.size(); ++column) {
      if (column > 0) line += kColumnGap;
      line += cells[column];
      line.append(widths[column] - cells[column].size(), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  };
  append_line(kHeader);
  std::vector<std::string> rule;
  for (std::size_t width : widths) rule.emplace_back(width, '-');
  append_line(rule);
  for (const auto& row : rows) append_line(row);
  return text;
}

std::string FormatDeadlineCsv(const std::vector<std::vector<std::string>>& rows) {
  std::string out(kUtf8Bom);
  AppendCsvRecord(out, kHeader);
  // Page text (what is due, a reference) may start like a formula: written inert as -export does.
  for (const auto& row : rows) {
    std::vector<std::string> cells;
    cells.reserve(row.size());
    for (const std::string& cell : row) cells.push_back(MakeCellInert(cell));
    AppendCsvRecord(out, cells);
  }
  return out;
}

bool ListSavedDeadlines(ISettingsBackend& settings, const std::string& csv_path, std::string& out,
                        std::string& error) {
  const std::string log_dir = settings.Read(kSettingsGroup, "LogDir").value_or("");
  if (log_dir.empty()) {
    error =
        "There are no deadlines to list: the logging directory, where the docket is kept, is "
        "not configured yet.";
    return false;
  }
  CDocket docket;
  error = LoadDocket(JoinPath(log_dir, kDocketFileName), docket);
  if (!error.empty()) return false;
  CEntryList list;
  if (!LoadDataFile(JoinPath(log_dir, kDataFileName), list, error)) return false;
  const auto rows = OpenDeadlineRows(docket, list);
  if (csv_path.empty()) {
    out = FormatDeadlineTable(rows);
    return true;
  }
  if (!SaveFileAtomically(csv_path, FormatDeadlineCsv(rows))) {
    error = "Couldn't write " + csv_path + ".";
    return false;
  }
  return true;
}

}  // namespace larkspire
