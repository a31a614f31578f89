// `larkspire -deadlines [FILE.csv]`: the open deadlines of the docket in the configured logging
// directory, earliest first, as a table for the terminal or as a CSV file. Nothing is written
// but the CSV file, and no instance lock is taken: the docket and the data file are only read,
// and both are replaced whole by a rename when a run saves them, so a read while another
// instance runs sees one complete version of each.
#pragma once

#include <string>
#include <vector>

#include "docket/Docket.h"
#include "entries/EntryList.h"

namespace larkspire {

class ISettingsBackend;

// The columns of both forms: reference, application number, what is due, the date computed,
// the due date it moved to, the last date with extensions (Windows-1252, dates yyyy-mm-dd).
std::vector<std::vector<std::string>> OpenDeadlineRows(const CDocket& docket,
                                                       const CEntryList& list);

// The rows under a header, each column as wide as its widest cell, for a fixed-width terminal.
// A docket without open deadlines says so instead.
std::string FormatDeadlineTable(const std::vector<std::vector<std::string>>& rows);
// The rows under a header row, UTF-8 with a byte order mark, as the list's CSV export writes.
std::string FormatDeadlineCsv(const std::vector<std::vector<std::string>>& rows);

// Reads the docket and the data file; the table in out, or the CSV written to csv_path (when
// not empty). False with the message to print when there is nothing configured or a file
// cannot be read or written.
bool ListSavedDeadlines(ISettingsBackend& settings, const std::string& csv_path, std::string& out,
                        std::string& error);

}  // namespace larkspire
