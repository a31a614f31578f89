#include "retrieval/EntryFetch.h"

#include <array>
#include <cstddef>

#include "entries/Entry.h"
#include "notify/Variables.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

constexpr const char* kValidate = "validate";
constexpr const char* kFetch1 = "fetch1";
constexpr const char* kFetch2 = "fetch2";
constexpr const char* kFetch3 = "fetch3";

// The status-page fields read one after the other with the "[" + key + "]" patterns.
constexpr std::array<int, 12> kStatusFields = {kFilingDate, kIssueDate, kDocketNumber, kExaminer,
                                               kArtUnit,    kPubNum,    kPubDate,      kConfirmNum,
                                               kClass,      kLocation,  kStatus,       kCustNum};

// A page the caller did not supply reads as empty, so a short list fails as an incomplete page
// instead of reading past its end.
const std::string& PageAt(const std::vector<std::string>& pages, std::size_t index) {
  static const std::string kNoPage;
  return index < pages.size() ? pages[index] : kNoPage;
}

std::string FieldPattern(int id) { return std::string("[") + kFields[id].key + "]"; }

// "date - text" into the two history fields; without " - " all of it is the date.
void SetLastHistory(CEntry& entry, std::string value) {
  const std::string date = SplitHead(value, " - ");
  entry.SetText(kLastHistoryDate, date);
  entry.SetText(kLastHistoryText, value);
}

// A foreign-priority or continuity page is complete when it says there is nothing (has_data
// stays false) or when it carries the heading its fields are read under (has_data set).
bool IsCompleteOptionalPage(CRun& app, const std::string& page, const char* section,
                            bool& has_data) {
  has_data = false;
  if (PageContains(page, LookupRule(app, section, "none"))) return true;
  if (!PageContains(page, LookupRule(app, section, "required"))) return false;
  has_data = true;
  return true;
}

}  // namespace

bool PageContains(std::string_view page, std::string_view text) {
  return text.empty() || FindText(page, text).has_value();
}

std::string EntryPageUrls(CRun& app, const CEntry& entry, std::vector<std::string>& urls) {
  urls.assign(1, StatusPageUrl(app, entry));
  if (!entry.Text(kAppNum).empty()) {
    urls.push_back(LookupRule(app, kFetch2, "page"));
    urls.push_back(LookupRule(app, kFetch3, "page"));
  }
  return "";
}

CFailure ValidatePage(CRun& app, const std::string& page, bool skip_search_method) {
  const auto explanation = [&app](int n) {
    return CFailure::FromExplanation(LookupRule(app, kValidate, "explain" + std::to_string(n)));
  };
  if (PageContains(page, LookupRule(app, kValidate, "error1"))) {
    // The proxy names its failure in bold; that text says more than the rules' explanation.
    if (const auto open = FindText(page, "<b>")) {
      const std::size_t start = *open + 3;
      if (const auto close = FindText(page, "</b>", start)) {
        return {page.substr(start, *close - start), true};
      }
    }
    return explanation(1);
  }
  if (PageContains(page, LookupRule(app, kValidate, "error2"))) return explanation(2);
  if (!skip_search_method && PageContains(page, LookupRule(app, kValidate, "error3"))) {
    return explanation(3);
  }
  for (int n = 4;; ++n) {
    const std::string error = LookupRule(app, kValidate, "error" + std::to_string(n));
    if (error.empty()) return {};
    if (PageContains(page, error)) return explanation(n);
  }
}

CFailure ParseEntryPages(CRun& app, CEntry& entry, const std::vector<std::string>& /*urls*/,
                         const std::vector<std::string>& raw_pages,
                         const std::vector<std::string>& normalized_pages) {
  const std::string& page1 = PageAt(normalized_pages, 0);
  if (page1.empty()) return {kNoDataMessage};
  for (std::size_t i = 0; i < raw_pages.size(); ++i) {
    CFailure failure = ValidatePage(app, PageAt(normalized_pages, i), false);
    if (failure.Failed()) return failure;
  }

  const bool has_app_num = !entry.Text(kAppNum).empty();
  const char* not_found_key = has_app_num                    ? "required[AppNum]"
                              : !entry.Text(kPatNum).empty() ? "required[PatNum]"
                                                             : "required[PubNum]";
  if (PageContains(CollapseSpace(page1), LookupRule(app, kFetch1, not_found_key))) {
    // The site does not know the number: only the last history says so, nothing else changes.
    std::string rule = LookupRule(app, kFetch1, "none[LastHistory]");
    const std::size_t separator = rule.find("==");
    SetLastHistory(entry, separator == std::string::npos ? "" : rule.substr(separator + 2));
    return {};
  }
  if (!PageContains(page1, LookupRule(app, kFetch1, "required"))) return {kIncompletePageMessage};

  if (has_app_num) {
    entry.SetText(kPatNum, ExtractField(app, page1, kFetch1, FieldPattern(kPatNum)));
  } else {
    entry.SetText(kAppNum, ExtractField(app, page1, kFetch1, FieldPattern(kAppNum)));
  }
  for (int id : kStatusFields) {
    entry.SetText(id, ExtractField(app, page1, kFetch1, FieldPattern(id)));
  }
  SetLastHistory(entry, ExtractField(app, page1, kFetch1, "[LastHistory]"));

  // The markers are attribute values, which normalisation strips, so they are looked for in
  // the page as fetched; only comments go, so a commented-out form does not count.
  const std::string raw1 = RemoveComments(PageAt(raw_pages, 0));
  entry.SetText(kPTA, PageContains(raw1, LookupRule(app, kFetch1, "ptahook")) ? "yes" : "");
  entry.SetText(kPTE, PageContains(raw1, LookupRule(app, kFetch1, "ptehook")) ? "yes" : "");

  entry.SetText(kForeign, "");
  entry.SetText(kParentContinuity, "");
  entry.SetText(kChildContinuity, "");
  if (normalized_pages.size() < 2) return {};

  bool has_data = false;
  const std::string& foreign_page = PageAt(normalized_pages, 1);
  if (!IsCompleteOptionalPage(app, foreign_page, kFetch2, has_data)) {
    return {kIncompletePageMessage};
  }
  if (has_data) {
    entry.SetText(kForeign, ExtractField(app, foreign_page, kFetch2, FieldPattern(kForeign)));
  }

  const std::string& continuity_page = PageAt(normalized_pages, 2);
  if (!IsCompleteOptionalPage(app, continuity_page, kFetch3, has_data)) {
    return {kIncompletePageMessage};
  }
  if (has_data) {
    std::string parent =
        ExtractField(app, continuity_page, kFetch3, FieldPattern(kParentContinuity));
    if (parent.starts_with("| ")) parent.erase(0, 2);
    entry.SetText(kParentContinuity, parent);
    entry.SetText(kChildContinuity,
                  ExtractField(app, continuity_page, kFetch3, FieldPattern(kChildContinuity)));
  }
  return {};
}

}  // namespace larkspire
