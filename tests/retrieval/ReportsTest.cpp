#include <gtest/gtest.h>

#include "notify/Reports.h"
#include "notify/Variables.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "retrieval/StatusUrl.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

class ReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    net_.App().Settings().ReportDir.Set(dir_.Path());
    LoadRules(net_.App());
    InstallStatusUrlBuilder(net_.App());
  }
  std::string Read(const char* name) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(dir_.File(name), bytes)) << name;
    return bytes;
  }
  CTempDir dir_;
  CNetTestApp net_;
};

TEST_F(ReportsTest, EmptyListGivesHeaderAndFooterAndAThreeLineExport) {
  WriteReports(net_.App());
  EXPECT_EQ(Read(kXmlReportName),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<Entries>\r\n</Entries>\r\n");
  const std::string html = Read(kHtmlReportName);
  EXPECT_EQ(html.rfind("<html>\r\n", 0), 0u);
  EXPECT_NE(html.find("</html>\r\n"), std::string::npos);
  EXPECT_EQ(html.find("<nobr>"), std::string::npos);
}

TEST_F(ReportsTest, EntriesInDisplayOrderEscapedInBothReports) {
  CEntry entry;
  entry.Text(kReference) = "A&B <1>";
  entry.Text(kAppNum) = "10/123,456";
  entry.Text(kStatus) = "Pending";
  net_.App().Entries().Insert(entry);
  CEntry second;
  second.Text(kReference) = "Z-9";
  second.Text(kAppNum) = "11/000,001";
  second.frequency = kNever;
  net_.App().Entries().Insert(second);
  WriteReports(net_.App());

  const std::string xml = Read(kXmlReportName);
  EXPECT_NE(xml.find("  <Reference>A&amp;B &lt;1&gt;</Reference>\r\n"), std::string::npos);
  EXPECT_NE(xml.find("  <PatNum></PatNum>\r\n"), std::string::npos);
  EXPECT_NE(xml.find("  <Fequency>Never</Fequency>\r\n"), std::string::npos);
  EXPECT_LT(xml.find("10/123,456"), xml.find("11/000,001"));
  // 26 elements per entry, in field-table order.
  EXPECT_LT(xml.find("<Fequency>"), xml.find("<LastUpdate>"));
  EXPECT_LT(xml.find("<PTE>"), xml.find("<Error>"));

  const std::string html = Read(kHtmlReportName);
  EXPECT_NE(html.find("<td>A&amp;B &lt;1&gt;</td>"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"http://pair.uspto.gov/cgi-bin/final/"
                      "cusnum.pl?USERCODE=123&amp;ApplicationNumber=10123456\">"),
            std::string::npos);
}

// Page text passes through entity decoding, so a status page can carry markup into a value;
// the report is opened in a browser. Every value stays text, in cells and inside href="...",
// while the report's own markup (the templates, the courtesy link) stays markup.
TEST_F(ReportsTest, MarkupInValuesStaysTextInTheHtmlReport) {
  net_.App().Settings().OrgName.Set("<script>alert('org')</script>");
  CEntry entry;
  entry.SetText(kReference, "R\" onmouseover=\"alert(1)");
  entry.SetText(kPubNum, "US\"><script>x</script>");
  entry.SetText(kStatus, "<img src=x onerror=alert(1)>");
  entry.SetText(kLastHistoryText, "It's <b>done</b> & dusted");
  net_.App().Entries().Insert(entry);
  WriteReports(net_.App());

  const std::string html = Read(kHtmlReportName);
  EXPECT_NE(html.find("<title>Patent status for &lt;script&gt;alert(&#39;org&#39;)&lt;/script&gt;"
                      "</title>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<td>R&quot; onmouseover=&quot;alert(1)</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>&lt;img src=x onerror=alert(1)&gt;</td>"), std::string::npos);
  EXPECT_NE(html.find("It&#39;s &lt;b&gt;done&lt;/b&gt; &amp; dusted"), std::string::npos);
  EXPECT_NE(html.find("publicationnumber=US&quot;&gt;&lt;script&gt;x&lt;/script&gt;\">"),
            std::string::npos)
      << html;
  for (const char* live : {"<script", "<img", "onmouseover=\"", "<b>done"}) {
    EXPECT_EQ(html.find(live), std::string::npos) << live;
  }
  EXPECT_NE(html.find("<a href=\"http://www.larkspire.example/Larkspire/\">"), std::string::npos);
}

// XML 1.0 has no way to write most control bytes, not even as references: one of them makes
// the whole file ill-formed. A value that holds one (stored before values were cleaned, or
// typed into the data file) gets a blank in its place.
TEST_F(ReportsTest, TheExportNeverHoldsAByteXmlForbids) {
  CEntry entry;
  entry.Text(kReference) = "R-1";
  const char kStatusBytes[] =
      "a\x01"
      "b\x0B"
      "c\td\x1F"
      "\0"
      "e";
  entry.Text(kStatus) = std::string(kStatusBytes, sizeof kStatusBytes - 1);
  net_.App().Entries().Insert(entry);
  WriteReports(net_.App());

  const std::string xml = Read(kXmlReportName);
  EXPECT_NE(xml.find("  <Status>a b c\td  e</Status>\r\n"), std::string::npos) << xml;
  for (char c : xml) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte >= 0x20 || c == '\t' || c == '\r' || c == '\n') << static_cast<int>(byte);
  }
}

CDeadline OpenDeadline(const char* entry_key, const char* what, const char* due) {
  CDeadline d;
  d.entry_key = entry_key;
  d.rule_key = "rule";
  d.what = what;
  d.opening_event = "Event <b>mailed</b>";
  d.opened_on = ParseDayNumber("2026-12-01");
  d.computed_due = d.due = d.last_date = ParseDayNumber(due);
  return d;
}

// An office without open deadlines gets the report it always had, byte for byte; with them the
// section comes first, earliest first, every value escaped (the status address too, in href).
TEST_F(ReportsTest, UpcomingDeadlinesOpenTheReportOnlyWhenSomeAreOpen) {
  SetFakeClockForTesting(int64_t{1796000000} * 1000);
  CEntry entry;
  entry.Text(kReference) = "R<1>";
  entry.Text(kAppNum) = "10/123,456";
  net_.App().Entries().Insert(entry);
  WriteReports(net_.App());
  const std::string without = Read(kHtmlReportName);

  CDeadline done = OpenDeadline("application 10/123,456", "Done one", "2027-01-04");
  done.done = true;
  net_.App().Docket().Replace({done});
  WriteReports(net_.App());
  EXPECT_EQ(Read(kHtmlReportName), without);

  CDeadline late = OpenDeadline("application 10/123,456", "Issue fee & <more>", "2027-05-03");
  CDeadline soon = OpenDeadline("application 10/123,456", "Reply", "2027-03-15");
  soon.computed_due = ParseDayNumber("2027-03-13");
  soon.extendable = true;
  soon.last_date = ParseDayNumber("2027-06-15");
  net_.App().Docket().Replace({done, late, soon});
  const std::string xml = Read(kXmlReportName);
  WriteReports(net_.App());
  SetFakeClockForTesting(std::nullopt);
  const std::string html = Read(kHtmlReportName);
  EXPECT_EQ(Read(kXmlReportName), xml);

  const std::size_t section = html.find("<h3>Upcoming deadlines</h3>");
  ASSERT_NE(section, std::string::npos) << html;
  EXPECT_LT(html.find("Generated by"), section);
  EXPECT_LT(section, html.find("<th>Last Update</th>"));
  EXPECT_EQ(html.find("Done one"), std::string::npos);
  EXPECT_LT(html.find("<td><nobr>2027-03-15</nobr><br>(computed 2027-03-13)</td>"),
            html.find("<td>Issue fee &amp; &lt;more&gt;</td>"));
  EXPECT_NE(html.find("<td>R&lt;1&gt;</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>Event &lt;b&gt;mailed&lt;/b&gt;<br><nobr>2026-12-01</nobr></td>"),
            std::string::npos);
  EXPECT_NE(html.find("<td><nobr>2027-06-15</nobr></td>"), std::string::npos);
  EXPECT_NE(html.find("<td>not extendable</td>"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"http://pair.uspto.gov/cgi-bin/final/"
                      "cusnum.pl?USERCODE=123&amp;ApplicationNumber=10123456\">10/123,456</a>"),
            std::string::npos)
      << html;
  // Outside the section the report is the one without deadlines.
  const std::size_t end = html.find("<table", html.find("</table>", section));
  EXPECT_EQ(html.substr(0, section) + html.substr(end), without);
}

TEST_F(ReportsTest, WithoutAReportDirectoryNothingIsWritten) {
  net_.App().Settings().ReportDir.Set("");
  WriteReports(net_.App());
  EXPECT_FALSE(FileExists(kXmlReportName));
  EXPECT_FALSE(FileExists(kHtmlReportName));
}

}  // namespace
}  // namespace larkspire
