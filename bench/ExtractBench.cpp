// Field extraction must cost what the fields' positions cost, not what the page's size costs:
// every pattern works on views of the one normalised page. The status fields sit at the top
// of the page, so the 50 KB and 5 MB pages should take about the same time per page.
#include <benchmark/benchmark.h>

#include <string>

#include "app/AppCore.h"
#include "platform/SettingsBackend.h"
#include "rules/PageText.h"
#include "rules/Pattern.h"
#include "rules/RulesFile.h"

namespace larkspire {
namespace {

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

  CMemorySettingsBackend backend;
  AppCore app(backend, "", "");
  LoadRules(app);
  for (auto _ : state) {
    for (const char* key : kFieldKeys) {
      benchmark::DoNotOptimize(ExtractField(app, page, "fetch1", key));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ExtractStatusFields)
    ->Arg(50 * 1024)
    ->Arg(5 * 1024 * 1024)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace larkspire
