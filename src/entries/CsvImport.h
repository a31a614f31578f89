// What a spreadsheet of references and numbers would add to the list: the preview the Import
// command shows before anything is added. Adding (with the "entry added" notices) is left to
// the caller, which passes each entry through the list's usual add path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "entries/EntryList.h"

namespace larkspire {

inline constexpr const char* kImportNoReference = "no reference";
inline constexpr const char* kImportNoNumber = "no number";
inline constexpr const char* kImportInvalidNumber = "invalid number";
inline constexpr const char* kImportUnclosedQuote =
    "a quote is not closed, so the rest of the file ran into this row";
// Duplicates name what they repeat: "duplicate of R&D-1 in the list", "duplicate of line 4".

// What Import reads at most: a list of references and numbers many times the largest office's
// fits easily, and reading it (a few times its size in memory) stays quick.
inline constexpr std::size_t kImportMaxBytes = std::size_t{20} << 20;
inline constexpr const char* kImportTooLarge =
    "The file is larger than 20 MB, the most Import reads.";

inline constexpr const char* kImportNoReferenceColumn = "The file has no column of references.";
inline constexpr const char* kImportNoNumberColumn =
    "The file has no column of application, patent or publication numbers.";

struct CsvImportRow {
  std::size_t line = 0;  // where the row starts in the file, counted from 1
  CEntry entry;
};

struct CsvRefusedRow {
  std::size_t line = 0;
  std::string reference;
  std::string number;  // as the file has it
  std::string reason;
};

struct CsvImportPreview {
  std::vector<CsvImportRow> additions;  // in file order
  std::vector<CsvRefusedRow> refusals;  // in file order
  // Set when the header names columns but not the ones needed; nothing is read then.
  std::string problem;
  // The file is the program's own export: every field of each entry is taken from it.
  bool restores_fields = false;
};

// Reads a CSV file (see ReadCsv for the spellings of the format it accepts) against the list.
//
// Columns are found by their header: the reference under "Reference" (or "Ref", "Docket
// Number", ...), the number under "Number", "Application", "Patent" or "Publication" and the
// like, the list's own captions ("App #", "Pat #", "Pub #") included; when a row holds several
// numbers the first of Number, Application, Patent, Publication is taken. A file whose first row
// names none of these has no header: its first column is the reference, its second the number.
// Numbers take every spelling the Add dialog accepts, blanks around them ignored. A file with
// every column caption of the list (the program's export) gives back each entry as it was
// exported, status fields and dates included (less the quote the export puts before a cell a
// spreadsheet would evaluate), so exporting the imported list gives the same file; from any
// other file an entry gets its reference (blanks around it dropped) and number.
//
// Rows with nothing in them are skipped; rows are refused for a missing reference or number, a
// number no spelling matches, and a number already in the list or on an earlier row.
CsvImportPreview PreviewCsvImport(std::string_view bytes, const CEntryList& list);

}  // namespace larkspire
