#include "retrieval/MasterList.h"

#include <cstdint>

#include "entries/Entry.h"
#include "entries/Identifier.h"
#include "entries/LeadingNumber.h"
#include "net/TextChecks.h"
#include "notify/Variables.h"
#include "retrieval/EntryFetch.h"
#include "rules/Dates.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"
#include "rules/RulesFile.h"
#include "run/Run.h"

namespace larkspire {
namespace {

constexpr const char* kMasterList = "masterlist";
constexpr char kCellSeparator = '`';

}  // namespace

std::string MasterListUrl(CRun& app, int page_index) {
  const char* key = page_index == -1 ? "cookiepage" : page_index == 0 ? "page[0]" : "page[n]";
  return LookupRule(app, kMasterList, key);
}

std::string ReadCustomerNumbers(CRun& app, const std::string& page,
                                std::vector<std::string>& numbers) {
  // The search page always asks to choose a search method; that is not a failure here.
  const CFailure failure = ValidatePage(app, page, true);
  if (failure.Failed()) return failure.text;
  std::string options = ExtractField(app, page, kMasterList, "cookies");
  if (options.empty()) return "The customer number was not found in the PAIR database.";
  for (;;) {
    std::string item = SplitHead(options, "||");
    if (item.empty()) break;
    std::string number = TrimDash(SplitHead(item, "|"));
    // A customer number goes into a request line as it is; a line break or NUL there would
    // end the line early and let page text write the rest of the request.
    if (!HasLineBreakOrNul(number)) numbers.push_back(std::move(number));
  }
  return "";
}

std::string ReadMasterListCount(CRun& app, const std::string& page,
                                const std::string& customer_number, int& count) {
  const CFailure failure = ValidatePage(app, page, false);
  if (failure.Failed()) return failure.text;
  count = 0;
  if (PageContains(page, LookupRule(app, kMasterList, "missing"))) return "";
  if (!PageContains(page, LookupRule(app, kMasterList, "required"))) {
    app.Log().Write("**bad master list for %s\n", customer_number.c_str());
    return "";
  }
  int32_t value = 0;
  ReadLeadingNumber(ExtractField(app, page, kMasterList, "count"), value);
  if (value > kMaxResultSets) return kDamagedCountMessage;
  // The table is there, so there is at least the one result set being read.
  count = value < 1 ? 1 : value;
  return "";
}

std::string ReadMasterListTable(CRun& app, const std::string& page,
                                const AddEntryFunction& add_entry) {
  const CFailure failure = ValidatePage(app, page, false);
  if (failure.Failed()) return failure.text;
  std::string table = ExtractField(app, page, kMasterList, "table");
  if (table.empty()) return "Part of the master list was not found in the PAIR database.";

  for (;;) {
    std::string row = SplitHead(table, "|");
    if (row.empty() && table.empty()) return "";
    CEntry entry;
    // A row is read only up to the first cell past the named columns; a row that ends before
    // that cell is not an application row.
    for (int column = 1;; ++column) {
      const std::string cell = TrimDash(SplitHead(row, std::string_view(&kCellSeparator, 1)));
      if (cell.empty() && row.empty()) break;
      const std::string key = LookupRule(app, kMasterList, "column" + std::to_string(column));
      if (!key.empty()) {
        entry.SetTextByName(key, cell);
        continue;
      }
      entry.Normalize();
      const std::string app_num = entry.Text(kAppNum);
      if (!SetIdentifier(entry, app_num)) {
        const std::string error = add_entry(std::move(entry));
        if (!error.empty()) return error;
      }
      break;
    }
  }
}

}  // namespace larkspire
