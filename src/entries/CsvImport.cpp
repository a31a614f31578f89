#include "entries/CsvImport.h"

#include <algorithm>
#include <array>
#include <optional>

#include "entries/Csv.h"
#include "entries/Identifier.h"
#include "entries/ListedNumbers.h"
#include "entries/TextOrder.h"
#include "rules/Dates.h"

namespace larkspire {
namespace {

constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

// Header captions reduced to lower-case letters and digits ("App #" is "app"), by what they
// name; within each list the better name comes first.
constexpr const char* kReferenceNames[] = {
    "reference",    "ref",    "ourreference",         "ourref",
    "docketnumber", "docket", "attorneydocketnumber", "attorneydocket"};
constexpr const char* kNumberNames[] = {"number", "no", "num", "applicationpatpubnumber",
                                        "identifier"};
constexpr const char* kApplicationNames[] = {
    "application", "applicationnumber", "applicationno", "app", "appnum", "appno", "applno"};
constexpr const char* kPatentNames[] = {"patent", "patentnumber", "patentno",
                                        "pat",    "patnum",       "patno"};
constexpr const char* kPublicationNames[] = {
    "publication", "publicationnumber", "publicationno", "pub", "pubnum", "pubno"};

std::string CaptionKey(std::string_view caption) {
  std::string key;
  for (char c : caption) {
    if (c >= 'A' && c <= 'Z') {
      key += static_cast<char>(c - 'A' + 'a');
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      key += c;
    }
  }
  return key;
}

// Every control byte too: a stored value turns each into a blank (the data file cannot carry
// them), so a reference of nothing else would be stored blank and refused when read back.
bool IsBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte == 0x7F || byte == 0xA0;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

const std::string& FieldAt(const CsvRecord& record, std::size_t column) {
  static const std::string kEmpty;
  return column < record.fields.size() ? record.fields[column] : kEmpty;
}

// The first column, by the order of the names, whose caption is one of them.
template <std::size_t N>
std::size_t FindColumn(const std::vector<std::string>& keys, const char* const (&names)[N]) {
  for (const char* name : names) {
    const auto found = std::find(keys.begin(), keys.end(), name);
    if (found != keys.end()) return static_cast<std::size_t>(found - keys.begin());
  }
  return kNoColumn;
}

// Where each field's column caption stands; nothing unless every caption is there.
std::optional<std::array<std::size_t, kFieldCount>> FindExportColumns(
    const std::vector<std::string>& header) {
  std::array<std::size_t, kFieldCount> columns{};
  for (int id = 0; id < kFieldCount; ++id) {
    const auto found = std::find_if(header.begin(), header.end(), [&](const std::string& cell) {
      return EqualsNoCase(Trim(cell), kFields[id].column_caption);
    });
    if (found == header.end()) return std::nullopt;
    columns[static_cast<std::size_t>(id)] = static_cast<std::size_t>(found - header.begin());
  }
  return columns;
}

struct Columns {
  bool header = false;
  std::size_t reference = 0;
  std::vector<std::size_t> numbers;  // in the order they are tried
  std::optional<std::array<std::size_t, kFieldCount>> fields;
};

Columns FindColumns(const std::vector<std::string>& first) {
  std::vector<std::string> keys;
  for (const std::string& cell : first) keys.push_back(CaptionKey(cell));
  Columns columns;
  columns.reference = FindColumn(keys, kReferenceNames);
  for (std::size_t column : {FindColumn(keys, kNumberNames), FindColumn(keys, kApplicationNames),
                             FindColumn(keys, kPatentNames), FindColumn(keys, kPublicationNames)}) {
    if (column != kNoColumn) columns.numbers.push_back(column);
  }
  columns.header = columns.reference != kNoColumn || !columns.numbers.empty();
  if (!columns.header) {
    columns.reference = 0;
    columns.numbers = {1};
  }
  columns.fields = FindExportColumns(first);
  return columns;
}

// The number in the entry's canonical form, through the Add dialog's own parser.
std::optional<CEntry> ParseNumber(std::string_view text) {
  CEntry parsed;
  if (!SetIdentifier(parsed, text)) return parsed;
  // The parser writes reissue, design and plant patents as "RE12,345" but reads them only
  // without the comma; its own output must come back in.
  if (MatchMask(text, "??##,###")) {
    std::string without_comma(text);
    without_comma.erase(4, 1);
    if (!SetIdentifier(parsed, without_comma)) return parsed;
  }
  return std::nullopt;
}

// Every field as the export wrote it: frequency by name, day numbers from their dates, the
// quote the export put before a formula-like cell taken off.
void RestoreFields(const CsvRecord& record, const std::array<std::size_t, kFieldCount>& columns,
                   CEntry& entry) {
  for (int id = 0; id < kFieldCount; ++id) {
    const std::string_view text =
        RestoreInertCell(FieldAt(record, columns[static_cast<std::size_t>(id)]));
    if (id == kFrequency) {
      CEntry named;
      for (int32_t frequency = kDaily; frequency <= kNever; ++frequency) {
        named.frequency = frequency;
        if (EqualsNoCase(Trim(text), named.GetText(kFrequency))) entry.frequency = frequency;
      }
    } else if (id == kLastUpdate || id == kLastChange) {
      const int32_t day = ParseDayNumber(Trim(text));
      (id == kLastUpdate ? entry.last_update : entry.last_change) =
          day == kUnknownDayNumber ? 0 : day;
    } else {
      entry.SetText(id, text);
    }
  }
}

class CImporter {
 public:
  explicit CImporter(const CEntryList& list) : list_(list), listed_(list) {}

  CsvImportPreview Run(std::string_view bytes) {
    const CsvTable table = ReadCsv(bytes);
    if (table.records.empty()) return std::move(preview_);
    columns_ = FindColumns(table.records.front().fields);
    preview_.restores_fields = columns_.fields.has_value();
    if (columns_.header && columns_.reference == kNoColumn) {
      preview_.problem = kImportNoReferenceColumn;
    } else if (columns_.header && columns_.numbers.empty()) {
      preview_.problem = kImportNoNumberColumn;
    }
    if (!preview_.problem.empty()) return std::move(preview_);
    for (std::size_t i = columns_.header ? 1 : 0; i < table.records.size(); ++i) {
      const bool unclosed = table.unclosed_quote && i + 1 == table.records.size();
      ReadRow(table.records[i], unclosed);
    }
    return std::move(preview_);
  }

 private:
  void ReadRow(const CsvRecord& record, bool unclosed_quote) {
    if (std::all_of(record.fields.begin(), record.fields.end(),
                    [](const std::string& field) { return Trim(field).empty(); })) {
      return;
    }
    // An export's reference as the entry will have it, so a refused row shows it that way too.
    const std::string_view reference = columns_.fields
                                           ? RestoreInertCell(FieldAt(record, columns_.reference))
                                           : std::string_view(FieldAt(record, columns_.reference));
    std::string_view number;
    for (std::size_t column : columns_.numbers) {
      // An export's number cell may be inert too: a patent number read as "+E12345" is.
      number = Trim(columns_.fields ? RestoreInertCell(FieldAt(record, column))
                                    : std::string_view(FieldAt(record, column)));
      if (!number.empty()) break;
    }
    const auto refuse = [&](std::string reason) {
      preview_.refusals.push_back(
          {record.line, std::string(reference), std::string(number), std::move(reason)});
    };
    if (unclosed_quote) return refuse(kImportUnclosedQuote);
    if (Trim(reference).empty()) return refuse(kImportNoReference);
    if (number.empty()) return refuse(kImportNoNumber);
    const std::optional<CEntry> parsed = ParseNumber(number);
    if (!parsed) return refuse(kImportInvalidNumber);

    CEntry entry;
    if (columns_.fields) {
      RestoreFields(record, *columns_.fields, entry);
    } else {
      entry.SetText(kReference, Trim(reference));
    }
    for (int id : {kAppNum, kPatNum, kPubNum}) {
      if (!parsed->Text(id).empty()) entry.Text(id) = parsed->Text(id);
    }

    if (std::optional<std::size_t> row = listed_.Find(entry)) {
      return refuse("duplicate of " + list_.At(*row).Text(kReference) + " in the list");
    }
    if (std::optional<std::size_t> line = earlier_.Find(entry)) {
      return refuse("duplicate of line " + std::to_string(*line));
    }
    earlier_.Add(entry, record.line);
    preview_.additions.push_back({record.line, std::move(entry)});
  }

  const CEntryList& list_;
  CListedNumbers listed_;
  CListedNumbers earlier_;
  Columns columns_;
  CsvImportPreview preview_;
};

}  // namespace

CsvImportPreview PreviewCsvImport(std::string_view bytes, const CEntryList& list) {
  return CImporter(list).Run(bytes);
}

}  // namespace larkspire
