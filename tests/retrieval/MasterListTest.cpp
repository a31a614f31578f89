#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entries/Entry.h"
#include "platform/Files.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/MasterList.h"
#include "rules/PageText.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

constexpr const char* kBadListLine = "**bad master list for ";

class MasterListTest : public ::testing::Test {
 protected:
  void SetUp() override { app_->Settings().LogDir.Set(dir_.Path()); }

  std::string LogText() {
    std::string text;
    ReadWholeFile(app_->Log().Path(), text);
    return text;
  }

  static std::string SearchPage() { return ReadFixture("retrieval/customer-search.html"); }
  static std::string ResultPage() { return ReadFixture("retrieval/masterlist-result.html"); }

  // Reads the table of a raw page, keeping every entry handed over.
  std::string ReadTable(const std::string& raw_page, std::vector<CEntry>& added,
                        const std::string& answer = "") {
    return ReadMasterListTable(*app_, NormalizePage(raw_page), [&](CEntry entry) {
      added.push_back(std::move(entry));
      return answer;
    });
  }

  CTempDir dir_;
  CTestApp app_;
};

TEST_F(MasterListTest, AddressesNameTheCustomerNumberAndResultSet) {
  const std::string search =
      "http://pair.uspto.gov/cgi-bin/final/pairsearch.pl??searchtype="
      "customer&USERCODE=123&customernumber=22879&sortby=application";
  app_->MasterList().cookie = "22879";
  app_->MasterList().index = 4;
  EXPECT_EQ(MasterListUrl(*app_, -1), "http://pair.uspto.gov/cgi-bin/final/home.pl");
  EXPECT_EQ(MasterListUrl(*app_, 0), search + "&ResultSet=1");
  EXPECT_EQ(MasterListUrl(*app_, 4), search + "&ResultSet=4");
  app_->MasterList().index = 12;
  EXPECT_EQ(MasterListUrl(*app_, 12), search + "&ResultSet=12");
}

TEST_F(MasterListTest, CustomerNumbersComeFromTheSelectorInPageOrder) {
  std::vector<std::string> numbers;
  // The search page always asks to choose a search method; that is normal here.
  ASSERT_EQ(ReadCustomerNumbers(*app_, NormalizePage(SearchPage()), numbers), "");
  // "12345->Smith" gives the number before the arrow; an option without one gives all of it.
  EXPECT_EQ(numbers, (std::vector<std::string>{"12345", "67890", "55555"}));
}

TEST_F(MasterListTest, CustomerNumberThatCouldBreakARequestLineIsDropped) {
  const std::string page = ReplaceOnce(SearchPage(), ">67890->",
                                       std::string(">678\0"
                                                   "90->",
                                                   9));
  std::vector<std::string> numbers;
  ASSERT_EQ(ReadCustomerNumbers(*app_, NormalizePage(page), numbers), "");
  EXPECT_EQ(numbers, (std::vector<std::string>{"12345", "55555"}));
}

TEST_F(MasterListTest, CustomerNumberPageFailures) {
  struct Case {
    const char* name;
    std::string page;
    const char* error;
  };
  const Case cases[] = {
      {"no selector", ReplaceOnce(SearchPage(), "Search by customer number:", "Search by:"),
       "The customer number was not found in the PAIR database."},
      // Only the search-method text is let through; the other failure texts still count.
      {"security failure",
       SearchPage() + "USPTO/Direct detected a security problem while processing a request",
       "There is a problem with USPTO/Direct. Please restart it."},
  };
  for (const Case& c : cases) {
    std::vector<std::string> numbers;
    EXPECT_EQ(ReadCustomerNumbers(*app_, NormalizePage(c.page), numbers), c.error) << c.name;
    EXPECT_TRUE(numbers.empty()) << c.name;
  }
}

TEST_F(MasterListTest, CountIsTheNumberBeforeTheTablesLastColon) {
  const std::string count_cell = "<TD COLSPAN=5>3:&nbsp;";
  struct Case {
    const char* name;
    std::string page;
    int count;
  };
  const Case cases[] = {
      {"three result sets", ResultPage(), 3},
      {"count cell 0:", ReplaceOnce(ResultPage(), count_cell, "<TD COLSPAN=5>0:&nbsp;"), 1},
      {"count cell without a number", ReplaceOnce(ResultPage(), count_cell, "<TD>Sets:"), 1},
      {"no applications, though a table follows",
       ReplaceOnce(ResultPage(), "<BODY>",
                   "<BODY><P>Sorry, there are no applications associated with customer "
                   "number 22879"),
       0},
  };
  for (const Case& c : cases) {
    int count = -5;
    EXPECT_EQ(ReadMasterListCount(*app_, NormalizePage(c.page), "22879", count), "") << c.name;
    EXPECT_EQ(count, c.count) << c.name;
  }
  EXPECT_EQ(LogText().find(kBadListLine), std::string::npos);
}

// A count is a figure read from a page: one that no customer number can have (up to the
// largest number a count cell can spell) is a damaged page, not that many pages to fetch.
TEST_F(MasterListTest, ACountBeyondTenThousandResultSetsIsADamagedPage) {
  const struct {
    const char* cell;
    int count;  // -1: refused
  } cases[] = {
      {"10000:", 10000},
      {"10001:", -1},
      {"2147483647:", -1},
      {"99999999999999999999:", -1},
  };
  for (const auto& c : cases) {
    const std::string page =
        ReplaceOnce(ResultPage(), "<TD COLSPAN=5>3:", std::string("<TD COLSPAN=5>") + c.cell);
    int count = -5;
    const std::string error = ReadMasterListCount(*app_, NormalizePage(page), "22879", count);
    EXPECT_EQ(error, c.count < 0 ? kDamagedCountMessage : "") << c.cell;
    if (c.count >= 0) {
      EXPECT_EQ(count, c.count) << c.cell;
    }
  }
}

TEST_F(MasterListTest, ResultPageWithoutItsHeadingIsLoggedAndCountsNothing) {
  const std::string page =
      ReplaceOnce(ResultPage(), "Application No. Descending", "Application No. Ascending");
  int count = -5;
  EXPECT_EQ(ReadMasterListCount(*app_, NormalizePage(page), "22879", count), "");
  EXPECT_EQ(count, 0);
  EXPECT_NE(LogText().find(std::string("> ") + kBadListLine + "22879\r\n"), std::string::npos);
}

TEST_F(MasterListTest, ResultPageFailureIsExplained) {
  const std::string page =
      "<html>Unable to connect to the PAIR database. Please try again "
      "later.</html>";
  int count = -5;
  // Every failure stops the import, so the run-stopping mark of the explanation is not kept.
  EXPECT_EQ(ReadMasterListCount(*app_, page, "22879", count),
            "Unable to connect to the PAIR database. Please try again later.");
  std::vector<CEntry> added;
  EXPECT_EQ(ReadTable(page, added),
            "Unable to connect to the PAIR database. Please try again later.");
  EXPECT_TRUE(added.empty());
}

TEST_F(MasterListTest, TableRowsWithAValidApplicationAndAllColumnsBecomeEntries) {
  std::vector<CEntry> added;
  ASSERT_EQ(ReadTable(ResultPage(), added), "");
  // Not added: the repeated heading row (no application number), the row of four cells, the
  // row with an eight-digit number, and the count row.
  struct Expected {
    const char* app_num;
    const char* reference;
  };
  const Expected expected[] = {
      {"10/987,654", "HPL-7"}, {"09/876,543", ""}, {"11/000,001", "HPL-11"}};
  ASSERT_EQ(added.size(), std::size(expected));
  for (std::size_t i = 0; i < added.size(); ++i) {
    EXPECT_EQ(added[i].Text(kAppNum), expected[i].app_num);
    EXPECT_EQ(added[i].Text(kReference), expected[i].reference);
    // Only the application number is kept; the others are learnt on the first update.
    EXPECT_EQ(added[i].Text(kPatNum), "");
    EXPECT_EQ(added[i].Text(kPubNum), "");
  }
}

TEST_F(MasterListTest, AddErrorStopsThePageButAnEmptyAnswerGoesOn) {
  std::vector<CEntry> added;
  // An entry already in the list is answered with "", and the rest of the page is still read.
  EXPECT_EQ(ReadTable(ResultPage(), added, ""), "");
  EXPECT_EQ(added.size(), 3u);

  added.clear();
  EXPECT_EQ(ReadTable(ResultPage(), added, "Unable to add."), "Unable to add.");
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].Text(kAppNum), "10/987,654");
}

TEST_F(MasterListTest, ResultPageWithoutATableIsAnError) {
  // Without the linked "Application" heading there is no result table to read.
  const std::string page = ReplaceOnce(
      ResultPage(), "<A HREF=\"pairsearch.pl?sortby=application\">Application</A>", "Application");
  std::vector<CEntry> added;
  EXPECT_EQ(ReadTable(page, added), "Part of the master list was not found in the PAIR database.");
  EXPECT_TRUE(added.empty());
}

}  // namespace
}  // namespace larkspire
