// The entry list as a spreadsheet file: a header of the list's column captions, then one record
// per row in the list's order, every field in its column and in the form the list shows it,
// made inert where a spreadsheet would evaluate it (a page's text is not the user's own).
#pragma once

#include <string>

#include "entries/EntryList.h"

namespace larkspire {

// The whole file: UTF-8 with a byte order mark (so Excel reads it as UTF-8, as its own
// "CSV UTF-8" files are), comma-separated, CR LF line ends.
std::string FormatListCsv(const CEntryList& list);

// Replaces the file whole, so a failed export never leaves half a list behind; false when it
// could not be written.
bool ExportListCsv(const CEntryList& list, const std::string& path);

}  // namespace larkspire
