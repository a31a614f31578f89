#include "app/SavedListExport.h"

#include <cstdlib>

#include "entries/CsvExport.h"
#include "entries/DataFile.h"
#include "platform/Files.h"
#include "platform/SettingsBackend.h"
#include "run/Settings.h"

namespace larkspire {

bool ExportSavedList(ISettingsBackend& settings, const std::string& csv_path, std::string& error) {
  const std::string log_dir = settings.Read(kSettingsGroup, "LogDir").value_or("");
  if (log_dir.empty()) {
    error =
        "There is no list to export: the logging directory, where the list is kept, is not "
        "configured yet.";
    return false;
  }
  CEntryList list;
  const int sort_field = FindFieldByKey(settings.Read(kSettingsGroup, "SortBy").value_or(""));
  const std::string reversed = settings.Read(kSettingsGroup, "SortReversed").value_or("");
  list.SetSort(sort_field < 0 ? 0 : sort_field, std::atoll(reversed.c_str()) != 0);
  if (!LoadDataFile(JoinPath(log_dir, kDataFileName), list, error)) return false;
  list.Sort();
  if (!ExportListCsv(list, csv_path)) {
    error = "Couldn't write " + csv_path + ".";
    return false;
  }
  return true;
}

}  // namespace larkspire
