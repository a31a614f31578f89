#include "entries/Csv.h"

#include "rules/TextEncoding.h"

namespace larkspire {
namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Counts commas and semicolons outside quotes; the separator is the more frequent, a tie
// (a one-column file among them) going to the comma.
char DetectSeparator(std::string_view text) {
  std::size_t commas = 0, semicolons = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted) {
      commas += c == ',';
      semicolons += c == ';';
    }
  }
  return semicolons > commas ? ';' : ',';
}

class CCsvParser {
 public:
  explicit CCsvParser(std::string_view text) : text_(text) {}

  CsvTable Parse() {
    CsvTable table;
    table.separator = ReadSeparatorHint();
    if (table.separator == 0) table.separator = DetectSeparator(text_.substr(at_));
    separator_ = table.separator;
    while (at_ < text_.size()) {
      CsvRecord record;
      record.line = line_;
      ReadRecord(record.fields);
      table.records.push_back(std::move(record));
    }
    table.unclosed_quote = unclosed_quote_;
    return table;
  }

 private:
  // "sep=X" alone on the first line; 0 when there is no such line.
  char ReadSeparatorHint() {
    if (text_.substr(0, 4) != "sep=" || text_.size() < 5) return 0;
    const char separator = text_[4];
    if (separator != ',' && separator != ';') return 0;
    if (text_.size() > 5 && !IsLineEnd(text_[5])) return 0;
    at_ = 5;
    SkipLineEnd();
    return separator;
  }

  void ReadRecord(std::vector<std::string>& fields) {
    for (;;) {
      fields.push_back(ReadField());
      if (at_ < text_.size() && text_[at_] == separator_) {
        ++at_;
        continue;
      }
      SkipLineEnd();
      return;
    }
  }

  std::string ReadField() {
    std::string field;
    if (at_ < text_.size() && text_[at_] == '"') {
      ++at_;
      ReadQuoted(field);
    }
    const std::size_t end = FindFieldEnd();
    field.append(text_, at_, end - at_);
    at_ = end;
    return field;
  }

  // From after the opening quote to after the closing one.
  void ReadQuoted(std::string& field) {
    for (;;) {
      const std::size_t quote = text_.find('"', at_);
      const std::size_t end = quote == std::string_view::npos ? text_.size() : quote;
      CountLines(text_.substr(at_, end - at_));
      field.append(text_, at_, end - at_);
      if (quote == std::string_view::npos) {
        at_ = text_.size();
        unclosed_quote_ = true;
        return;
      }
      at_ = quote + 1;
      if (at_ < text_.size() && text_[at_] == '"') {
        field += '"';
        ++at_;
        continue;
      }
      return;
    }
  }

  std::size_t FindFieldEnd() const {
    std::size_t end = at_;
    while (end < text_.size() && text_[end] != separator_ && !IsLineEnd(text_[end])) ++end;
    return end;
  }

  void SkipLineEnd() {
    if (at_ >= text_.size()) return;
    if (text_[at_] == '\r' && at_ + 1 < text_.size() && text_[at_ + 1] == '\n') ++at_;
    ++at_;
    ++line_;
  }

  // Line ends inside a quoted field still count for the lines of the records after it.
  void CountLines(std::string_view part) {
    for (std::size_t i = 0; i < part.size(); ++i) {
      if (part[i] == '\n' || (part[i] == '\r' && (i + 1 == part.size() || part[i + 1] != '\n'))) {
        ++line_;
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
  char separator_ = ',';
  bool unclosed_quote_ = false;
};

// A field starting "sep=" too: at the start of a file it would read as Excel's separator hint.
bool NeedsQuotes(std::string_view field) {
  return field.find_first_of(",;\"\r\n") != std::string_view::npos || field.starts_with("sep=");
}

// Quotes and then a character that starts a formula, or that a spreadsheet may skip over to a
// formula behind it.
bool StartsLikeFormula(std::string_view cell) {
  const std::size_t first = cell.find_first_not_of('\'');
  return first != std::string_view::npos &&
         std::string_view("=+-@\t\r\n").find(cell[first]) != std::string_view::npos;
}

}  // namespace

CsvTable ReadCsv(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
  const std::string text = IsValidUtf8(bytes) ? Cp1252FromUtf8(bytes) : std::string(bytes);
  return CCsvParser(text).Parse();
}

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ',';
    const std::string field = Utf8FromCp1252(fields[i]);
    if (!NeedsQuotes(field)) {
      out += field;
      continue;
    }
    out += '"';
    for (char c : field) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += "\r\n";
}

std::string MakeCellInert(std::string_view cell) {
  return StartsLikeFormula(cell) ? "'" + std::string(cell) : std::string(cell);
}

std::string_view RestoreInertCell(std::string_view cell) {
  if (cell.starts_with('\'') && StartsLikeFormula(cell)) cell.remove_prefix(1);
  return cell;
}

}  // namespace larkspire
