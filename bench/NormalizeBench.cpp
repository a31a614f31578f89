// Page normalisation must stay linear in the page length: a status page is about 40 KB and an
// update reads thousands of them. The pages 10 and 100 times larger must cost 10 and 100 times
// as much; compare the bytes/second of the three sizes.
#include <benchmark/benchmark.h>

#include <string>

#include "rules/PageText.h"

namespace larkspire {
namespace {

// One row of a status page as the site served it: upper-case tags with attributes, &nbsp;,
// comments, tabs, and both line-end styles.
constexpr const char* kStatusRows =
    "<!-- transaction history row -->\r\n"
    "<TR BGCOLOR=\"#EEEEEE\">\r\n"
    "\t<TD ALIGN=LEFT VALIGN=TOP WIDTH=\"20%\" CLASS=\"data\">01-05-2007&nbsp;</TD>\r\n"
    "\t<TD ALIGN=LEFT CLASS=\"data\">  Mail Non-Final Rejection &nbsp;&nbsp;</TD>\n"
    "</TR>\r\n"
    "<TR><TD COLSPAN=2><FONT FACE=\"Arial\" SIZE=-1>Status:</FONT>&#160;<B>Pending</B><BR "
    "CLASS=x /></TD></TR>\r\n"
    "<P ALIGN=CENTER>Examiner:\t<A HREF=\"/cgi-bin/x?id=1\">SMITH, JOHN</A></P>\r\n"
    "<FORM NAME=\"ptahist_form\" METHOD=POST><INPUT TYPE=\"hidden\" NAME=\"x\" VALUE=\"1\">"
    "</FORM>\r\n";

std::string MakePage(std::size_t size) {
  std::string page = "<HTML><HEAD><TITLE>Status</TITLE></HEAD><BODY>\r\n<TABLE BORDER=0>\r\n";
  while (page.size() < size) page += kStatusRows;
  page += "</TABLE></BODY></HTML>\r\n";
  return page;
}

constexpr int64_t kTypicalPage = 40 * 1024;

void PageSizes(benchmark::internal::Benchmark* bench) {
  bench->ArgName("bytes")->Arg(kTypicalPage)->Arg(10 * kTypicalPage)->Arg(100 * kTypicalPage);
}

void BM_NormalizePage(benchmark::State& state) {
  const std::string page = MakePage(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(NormalizePage(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_NormalizePage)->Apply(PageSizes)->Unit(benchmark::kMicrosecond);

void BM_PlainText(benchmark::State& state) {
  const std::string page = MakePage(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(PlainText(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_PlainText)->Apply(PageSizes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace larkspire
