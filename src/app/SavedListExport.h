// `larkspire -export FILE.csv`: the list as the window shows it after a start (the data file in
// the configured logging directory, in the saved sort order) written as CSV, with no window, no
// instance lock and nothing written but the CSV file: the settings are only read.
#pragma once

#include <string>

namespace larkspire {

class ISettingsBackend;

// False with the message to print (Windows-1252) when there is no configured list or the file
// cannot be read or written.
bool ExportSavedList(ISettingsBackend& settings, const std::string& csv_path, std::string& error);

}  // namespace larkspire
