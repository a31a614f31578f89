#include <gtest/gtest.h>

#include "notify/Reports.h"
#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/StatusUrl.h"
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

TEST_F(ReportsTest, EntriesInDisplayOrderEscapedOnlyInTheExport) {
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
  EXPECT_NE(html.find("A&B <1>"), std::string::npos);
  EXPECT_NE(html.find("cusnum.pl?USERCODE=123&ApplicationNumber=10123456"), std::string::npos);
}

TEST_F(ReportsTest, WithoutAReportDirectoryNothingIsWritten) {
  net_.App().Settings().ReportDir.Set("");
  WriteReports(net_.App());
  EXPECT_FALSE(FileExists(kXmlReportName));
  EXPECT_FALSE(FileExists(kHtmlReportName));
}

}  // namespace
}  // namespace larkspire
