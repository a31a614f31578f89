// The CSV reader and the import preview over arbitrary file bytes.
#include <cstdlib>

#include "FuzzInput.h"
#include "entries/Csv.h"
#include "entries/CsvExport.h"
#include "entries/CsvImport.h"

using namespace larkspire;

namespace {

// Whatever was read, written out and read again, is the same records.
void CheckWriteAndReadBack(const CsvTable& table) {
  std::string written;
  for (const CsvRecord& record : table.records) AppendCsvRecord(written, record.fields);
  const CsvTable again = ReadCsv(written);
  if (again.separator != ',' || again.unclosed_quote) std::abort();
  if (again.records.size() != table.records.size()) std::abort();
  for (std::size_t i = 0; i < table.records.size(); ++i) {
    if (again.records[i].fields != table.records[i].fields) std::abort();
  }
}

// Every entry the import offers survives export and import unchanged.
void CheckImportedEntriesRoundTrip(const CsvImportPreview& preview) {
  CEntryList imported;
  for (const CsvImportRow& row : preview.additions) imported.Insert(row.entry);
  const std::string exported = FormatListCsv(imported);
  const CsvImportPreview again = PreviewCsvImport(exported, CEntryList());
  if (!again.restores_fields || !again.refusals.empty()) std::abort();
  CEntryList reimported;
  for (const CsvImportRow& row : again.additions) reimported.Insert(row.entry);
  if (FormatListCsv(reimported) != exported) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  CheckWriteAndReadBack(ReadCsv(bytes));
  const CsvImportPreview preview = PreviewCsvImport(bytes, CEntryList());
  for (const CsvImportRow& row : preview.additions) {
    const CEntry& entry = row.entry;
    if (entry.Text(kAppNum).empty() && entry.Text(kPatNum).empty() && entry.Text(kPubNum).empty()) {
      std::abort();
    }
  }
  CheckImportedEntriesRoundTrip(preview);
  return 0;
}
