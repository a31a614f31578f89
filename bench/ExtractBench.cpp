// Field extraction must cost what the fields' positions cost, not what the page's size costs:
// every pattern works on views of the one normalised page. Measured here: one entry's three
// simulator pages read whole (normalise, validate, every field), each built-in pattern on its
// own page, the status fields of a 50 KB and a 5 MB page (about the same time per page: the
// fields sit at the top), and looking up a page address in the rules.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/AppCore.h"
#include "entries/Entry.h"
#include "notify/Templates.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "platform/SettingsBackend.h"
#include "retrieval/EntryFetch.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

// An application object with the built-in rules and nothing else: no window, no log file.
class CBenchApp {
 public:
  CBenchApp() : app_(backend_, "", "") { LoadRules(app_); }
  AppCore& operator*() { return app_; }

 private:
  CMemorySettingsBackend backend_;
  AppCore app_;
};

std::string ReadSimPage(const std::string& name) {
  std::string bytes;
  ReadWholeFile(std::string(LARKSPIRE_SOURCE_DIR) + "/tests/data/sim/" + name, bytes);
  return bytes;
}

// One entry as an update reads it: the three pages as fetched, normalised, validated and
// every field read.
void BM_ParseEntryPages(benchmark::State& state) {
  CBenchApp app;
  CEntry entry;
  entry.SetText(kAppNum, "10/123,456");
  entry.Normalize();
  CExpansionScope scope(*app, &entry);
  std::vector<std::string> urls;
  EntryPageUrls(*app, entry, urls);
  const std::vector<std::string> raw_pages = {ReadSimPage("status-10123456.html"),
                                              ReadSimPage("foreign-10123456.html"),
                                              ReadSimPage("continuity-10123456.html")};
  std::size_t bytes = 0;
  for (const std::string& page : raw_pages) bytes += page.size();
  if (bytes == 0) state.SkipWithError("simulator fixture pages missing");

  std::vector<std::string> normalized(raw_pages.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < raw_pages.size(); ++i) normalized[i] = NormalizePage(raw_pages[i]);
    CEntry working = entry;
    const std::string error = ParseEntryPages(*app, working, urls, raw_pages, normalized).text;
    if (!error.empty()) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(working);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_ParseEntryPages)->Unit(benchmark::kMicrosecond);

// Every pattern of the built-in rules, on the page it is written for.
struct PatternCase {
  const char* section;
  const char* key;
  const char* page;
};
constexpr PatternCase kPatterns[] = {
    {"fetch1", "[AppNum]", "status-10123456.html"},
    {"fetch1", "[FilingDate]", "status-10123456.html"},
    {"fetch1", "[IssueDate]", "status-10123456.html"},
    {"fetch1", "[DocketNumber]", "status-10123456.html"},
    {"fetch1", "[Examiner]", "status-10123456.html"},
    {"fetch1", "[ArtUnit]", "status-10123456.html"},
    {"fetch1", "[PubNum]", "status-10123456.html"},
    {"fetch1", "[PubDate]", "status-10123456.html"},
    {"fetch1", "[ConfirmNum]", "status-10123456.html"},
    {"fetch1", "[PatNum]", "status-10123456.html"},
    {"fetch1", "[Class]", "status-10123456.html"},
    {"fetch1", "[Location]", "status-10123456.html"},
    {"fetch1", "[Status]", "status-10123456.html"},
    {"fetch1", "[CustNum]", "status-10123456.html"},
    {"fetch1", "[LastHistory]", "status-10123456.html"},
    {"fetch2", "[Foreign]", "foreign-10123456.html"},
    {"fetch3", "[ParentContinuity]", "continuity-10123456.html"},
    {"fetch3", "[ChildContinuity]", "continuity-10123456.html"},
    {"masterlist", "cookies", "search.html"},
    {"masterlist", "count", "results-23456-1.html"},
    {"masterlist", "table", "results-23456-1.html"},
};

void BM_ExtractField(benchmark::State& state, const PatternCase& pattern) {
  CBenchApp app;
  const std::string page = NormalizePage(ReadSimPage(pattern.page));
  if (ExtractField(*app, page, pattern.section, pattern.key).empty()) {
    state.SkipWithError("the pattern reads nothing from its page");
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExtractField(*app, page, pattern.section, pattern.key));
  }
}

[[maybe_unused]] const bool kPatternsRegistered = [] {
  for (const PatternCase& pattern : kPatterns) {
    benchmark::RegisterBenchmark(
        (std::string("BM_ExtractField/") + pattern.section + "/" + pattern.key).c_str(),
        BM_ExtractField, pattern);
  }
  return true;
}();

constexpr const char* kStatusTable =
    "<HTML><BODY><TABLE BORDER=0>\r\n"
    "<TR><TD ALIGN=RIGHT>Application Number:</TD><TD>08/123,456</TD>\r\n"
    "<TD>Filing or 371(c) Date:</TD><TD>01-05-2007</TD></TR>\r\n"
    "<TR><TD>Examiner Name:</TD><TD>SMITH,&nbsp;JOHN</TD><TD>Group Art Unit:</TD><TD>2161</TD>\r\n"
    "<TD>Confirmation Number:</TD><TD>4321</TD><TD>Attorney Docket Number:</TD><TD>HPL-1</TD>\r\n"
    "<TD>Class/ Sub-Class:</TD><TD>707/003</TD><TD>Earliest Publication No:</TD><TD>-</TD>\r\n"
    "<TD>Earliest Publication Date:</TD><TD>-</TD><TD>Patent Number:</TD><TD>-</TD>\r\n"
    "<TD>Issue Date of Patent:</TD><TD>-</TD><TD>Status:</TD><TD>Non Final Action Mailed</TD>\r\n"
    "<TD><A HREF=\"/loc\">Location</A>:</TD><TD>ELECTRONIC</TD>\r\n"
    "<TD>Customer Number:</TD><TD>12345</TD></TR></TABLE>\r\n"
    "<TABLE><TR><TD COLSPAN=2>File History</TD></TR><TR><TH>Date</TH><TH>Description</TH></TR>\r\n";

constexpr const char* kHistoryRow =
    "<TR>\r\n\t<TD VALIGN=TOP>01-05-2007</TD>\r\n\t<TD>Mail Non-Final Rejection</TD>\r\n</TR>\r\n";

const char* const kFieldKeys[] = {"[AppNum]",     "[FilingDate]", "[IssueDate]",  "[DocketNumber]",
                                  "[Examiner]",   "[ArtUnit]",    "[PubNum]",     "[PubDate]",
                                  "[ConfirmNum]", "[PatNum]",     "[Class]",      "[Location]",
                                  "[Status]",     "[CustNum]",    "[LastHistory]"};

void BM_ExtractStatusFields(benchmark::State& state) {
  std::string raw = kStatusTable;
  while (raw.size() < static_cast<std::size_t>(state.range(0))) raw += kHistoryRow;
  raw += "</TABLE></BODY></HTML>\r\n";
  const std::string page = NormalizePage(raw);

  CBenchApp app;
  for (auto _ : state) {
    for (const char* key : kFieldKeys) {
      benchmark::DoNotOptimize(ExtractField(*app, page, "fetch1", key));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ExtractStatusFields)
    ->Arg(50 * 1024)
    ->Arg(5 * 1024 * 1024)
    ->Unit(benchmark::kMicrosecond);

// The status page address: the rules section found, the value's escapes undone and the
// entry's number substituted.
void BM_LookupRule(benchmark::State& state) {
  CBenchApp app;
  CEntry entry;
  entry.SetText(kAppNum, "10/123,456");
  entry.Normalize();
  CExpansionScope scope(*app, &entry);
  for (auto _ : state) benchmark::DoNotOptimize(LookupRule(*app, "fetch1", "page[AppNum]"));
}
BENCHMARK(BM_LookupRule);

}  // namespace
}  // namespace larkspire
