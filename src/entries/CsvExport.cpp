#include "entries/CsvExport.h"

#include <vector>

#include "entries/Csv.h"
#include "platform/Files.h"

namespace larkspire {

std::string FormatListCsv(const CEntryList& list) {
  std::string out(kUtf8Bom);
  std::vector<std::string> fields(kFieldCount);
  for (int id = 0; id < kFieldCount; ++id) fields[id] = kFields[id].column_caption;
  AppendCsvRecord(out, fields);
  for (std::size_t row = 0; row < list.Size(); ++row) {
    const CEntry& entry = list.At(row);
    for (int id = 0; id < kFieldCount; ++id) fields[id] = MakeCellInert(entry.GetText(id));
    AppendCsvRecord(out, fields);
  }
  return out;
}

bool ExportListCsv(const CEntryList& list, const std::string& path) {
  return SaveFileAtomically(path, FormatListCsv(list));
}

}  // namespace larkspire
