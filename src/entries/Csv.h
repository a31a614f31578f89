// Comma-separated values as spreadsheets write them (RFC 4180 and the common variations), read
// into the program's Windows-1252 text and written as UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace larkspire {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct CsvRecord {
  std::size_t line = 0;  // line of the file on which the record starts, counted from 1
  std::vector<std::string> fields;
};

struct CsvTable {
  char separator = ',';
  std::vector<CsvRecord> records;
  // The last record's quoted field ran to the end of the file without its closing quote, so
  // that record holds everything after the opening quote.
  bool unclosed_quote = false;
};

// Reads a whole file. A leading byte order mark is skipped; bytes that are well-formed UTF-8 are
// converted to Windows-1252, any others are taken as Windows-1252 already. The separator is
// ';' when the file holds more semicolons than commas outside quotes, else ','; a first line
// "sep=;" or "sep=," (Excel's own hint) decides instead and is not a record. Lines end with
// CR LF, LF or CR; the last line may have no line end. Quoted fields may hold separators, line
// breaks (kept as they are) and doubled quotes; a quote inside an unquoted field is kept as
// text, and text after a closing quote is added to the field, as spreadsheets read them.
CsvTable ReadCsv(std::string_view bytes);

// Appends one record of Windows-1252 fields as UTF-8, comma-separated and ended by CR LF. A
// field holding a comma, semicolon, quote, CR or LF is quoted with its quotes doubled: the
// semicolon too, so a reader that counts separators never mistakes one for the separator, and a
// field starting "sep=", so a first record never reads as Excel's separator hint.
void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields);

// A cell that a spreadsheet would evaluate (one starting "=", "+", "-", "@", TAB, CR or LF) with
// a quote before it, so a spreadsheet shows it as text; so is one that already starts with
// quotes before such a character, so that RestoreInertCell gives every cell back as it was.
// Other cells are returned as they are.
std::string MakeCellInert(std::string_view cell);
// Takes off the quote MakeCellInert put before a cell; a cell it would not have written that
// way (a user's own "'abc") is returned as it is.
std::string_view RestoreInertCell(std::string_view cell);

}  // namespace larkspire
