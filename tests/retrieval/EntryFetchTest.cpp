#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entries/Entry.h"
#include "notify/Templates.h"
#include "retrieval/EntryFetch.h"
#include "retrieval/FetchTestSupport.h"
#include "rules/PageText.h"
#include "support/MarkedFailure.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

constexpr const char* kPair = "http://pair.uspto.gov/cgi-bin/final/";

struct FieldValue {
  int id;
  const char* value;
};

CEntry EntryWith(int id, const char* number) {
  CEntry entry;
  entry.SetText(id, number);
  entry.SetText(kReference, "Smith v. Jones");
  return entry;
}

class EntryFetchTest : public ::testing::Test {
 protected:
  // The caller's side of a fetch: the entry is current for the lookups, pages are normalised.
  std::string Parse(CEntry& entry, const std::vector<std::string>& raw_pages) {
    CExpansionScope scope(*app_, &entry);
    std::vector<std::string> urls;
    EntryPageUrls(*app_, entry, urls);
    std::vector<std::string> normalized;
    for (const std::string& page : raw_pages) normalized.push_back(NormalizePage(page));
    return Marked(ParseEntryPages(*app_, entry, urls, raw_pages, normalized));
  }

  std::vector<std::string> ApplicationPages() {
    return {ReadFixture("retrieval/status-application.html"),
            ReadFixture("retrieval/foreign-priority.html"),
            ReadFixture("retrieval/continuity.html")};
  }

  static void ExpectFields(const CEntry& entry, const std::vector<FieldValue>& expected) {
    for (const FieldValue& field : expected) {
      EXPECT_EQ(entry.Text(field.id), field.value) << kFields[field.id].key;
    }
  }

  CTestApp app_;
};

TEST_F(EntryFetchTest, AddressesFollowTheLeadingNumber) {
  struct Case {
    int id;
    const char* number;
    std::vector<std::string> urls;
  };
  const std::string pair = kPair;
  const Case cases[] = {
      {kAppNum,
       "08/123,456",
       {pair + "cusnum.pl?USERCODE=123&ApplicationNumber=08123456",
        pair + "foreignpriority.pl??submission=ForeignPrioritySearch&USERCODE=123"
               "&ApplicationNumber=08123456",
        pair + "continuity.pl??submission=Continuity&USERCODE=123&ApplicationNumber=08123456"}},
      {kPatNum,
       "7,123,456",
       {pair + "pairsearch.pl?USERCODE=123&searchtype=patent&patentnumber=7,123,456"}},
      {kPubNum,
       "US 2007-0123456 A1",
       {pair + "pairsearch.pl?USERCODE=123&searchtype=publication"
               "&publicationnumber=US%202007-0123456%20A1"}},
  };
  for (const Case& c : cases) {
    const CEntry entry = EntryWith(c.id, c.number);
    CExpansionScope scope(*app_, &entry);
    std::vector<std::string> urls = {"left over from an earlier entry"};
    EXPECT_EQ(EntryPageUrls(*app_, entry, urls), "");
    EXPECT_EQ(urls, c.urls) << c.number;
  }
}

TEST_F(EntryFetchTest, PageContainsSearchesExactlyThenIgnoringCase) {
  EXPECT_TRUE(PageContains("Customer Number: 1", "Customer Number:"));
  EXPECT_TRUE(PageContains("CUSTOMER NUMBER: 1", "Customer Number:"));
  EXPECT_FALSE(PageContains("Customer No: 1", "Customer Number:"));
  // A key the rules file lacks reads as empty and is held by every page, even an empty one.
  EXPECT_TRUE(PageContains("", ""));
}

TEST_F(EntryFetchTest, ValidatePageExplainsEachFailureText) {
  struct Case {
    const char* page;
    bool skip_search_method;
    const char* explanation;
  };
  const Case cases[] = {
      {"<html>Application Number:</html>", false, ""},
      {"Error from client proxy on 127.0.0.1", false, "!There is a communication problem."},
      {"ERROR FROM CLIENT PROXY ON 127.0.0.1", false, "!There is a communication problem."},
      // The proxy's bold text wins; the first <b> of the whole page, before or after the error.
      {"Error from client proxy on host<p><b>Proxy timeout</b>", false, "!Proxy timeout"},
      {"<b>Gateway</b> said: Error from client proxy on host <b>Proxy timeout</b>", false,
       "!Gateway"},
      {"<B>Upper case</B> Error from client proxy on", false, "!Upper case"},
      {"Error from client proxy on host <b>never closed", false,
       "!There is a communication problem."},
      {"USPTO/Direct detected a security problem while processing a request", false,
       "!There is a problem with USPTO/Direct. Please restart it."},
      {"Please choose the search method", false, "!You need to start USPTO/Direct."},
      {"Please choose the search method", true, ""},
      {"Unable to connect to the PAIR database. Please try again later.", true,
       "!Unable to connect to the PAIR database. Please try again later."},
      // The earlier text decides when a page holds two of them.
      {"detected a security problem while processing a request; Please choose the search "
       "method",
       false, "!There is a problem with USPTO/Direct. Please restart it."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Marked(ValidatePage(*app_, c.page, c.skip_search_method)), c.explanation) << c.page;
  }
}

TEST_F(EntryFetchTest, ValidatePageReadsFurtherErrorsUpToTheFirstMissingNumber) {
  const std::string explain4 =
      " explain4: !Unable to connect to the PAIR database. Please try again later.\r\n";
  app_->Rules().text = ReplaceOnce(app_->Rules().text, explain4,
                                   explain4 +
                                       " error5: Service Unavailable\r\n"
                                       " explain5: The status site is down.\r\n"
                                       " error7: Scheduled maintenance\r\n"
                                       " explain7: !Maintenance.\r\n");
  EXPECT_EQ(Marked(ValidatePage(*app_, "503 SERVICE UNAVAILABLE", false)),
            "The status site is down.");
  // error6 is missing, so error7 is never read.
  EXPECT_EQ(Marked(ValidatePage(*app_, "Scheduled maintenance tonight", false)), "");
}

TEST_F(EntryFetchTest, ApplicationPagesFillEveryField) {
  CEntry entry = EntryWith(kAppNum, "10/987,654");
  entry.SetText(kPTE, "yes");
  entry.SetText(kError, "earlier failure");
  entry.frequency = kMonthly;
  entry.last_update = 39000;
  entry.last_change = 38000;

  ASSERT_EQ(Parse(entry, ApplicationPages()), "");
  ExpectFields(entry,
               {{kReference, "Smith v. Jones"},
                {kAppNum, "10/987,654"},
                {kPatNum, "7,123,456"},
                {kFilingDate, "2004-03-15"},
                {kIssueDate, "2006-10-17"},
                {kDocketNumber, "HPL-7 US"},
                {kExaminer, "NGUYEN, THU V"},
                {kArtUnit, "2161"},
                {kPubNum, "US 2005-0001234 A1"},
                {kPubDate, "2005-01-06"},
                {kConfirmNum, "8812"},
                {kClass, "707/003.000"},
                {kLocation, "FILE REPOSITORY (FRANCONIA)"},
                {kStatus, "Patented Case"},
                {kCustNum, "22879"},
                {kLastHistoryDate, "2006-10-17"},
                {kLastHistoryText, "Recordation of Patent Grant Mailed"},
                // The term-extension form is only in a comment of the fixture.
                {kPTA, "yes"},
                {kPTE, ""},
                // Each row boundary is a "|" and a blank: every cell starts a new line.
                {kForeign,
                 "JP 2003-123456 , 2003-05-02| JP 2003-234567 , 2003-08-11| EP 03012345.6 , "
                 "2003-09-30"},
                // The spacer row before the data rows costs the parent list its leading "| "
                // and leaves it on the child list.
                {kParentContinuity,
                 "This application is a Continuation of , 10/111,222 , 01-02-2002| 10/111,222 "
                 "Claims Priority from Provisional Application , 60/456,789 , 03-20-2001"},
                {kChildContinuity,
                 "| 11/555,123 filed on 12-01-2006 which is a Division of , 10/987,654 , "
                 "03-15-2004"},
                {kError, "earlier failure"}});
  EXPECT_EQ(entry.frequency, kMonthly);
  EXPECT_EQ(entry.last_update, 39000);
  EXPECT_EQ(entry.last_change, 38000);
}

TEST_F(EntryFetchTest, PatentOrPublicationEntryLearnsItsApplicationFromOnePage) {
  struct Case {
    int id;
    const char* number;
    const char* pat_num;
    const char* pub_num;
  };
  const Case cases[] = {
      // The patent number stays as the user gave it; only AppNum is read in its place.
      {kPatNum, "7123456", "7123456", "US 2005-0001234 A1"},
      {kPubNum, "2005-0001234 A1", "", "US 2005-0001234 A1"},
  };
  for (const Case& c : cases) {
    CEntry entry = EntryWith(c.id, c.number);
    entry.SetText(kForeign, "stale foreign");
    entry.SetText(kParentContinuity, "stale parent");
    entry.SetText(kChildContinuity, "stale child");
    std::vector<std::string> urls;
    {
      CExpansionScope scope(*app_, &entry);
      EntryPageUrls(*app_, entry, urls);
    }
    ASSERT_EQ(urls.size(), 1u);
    ASSERT_EQ(Parse(entry, {ReadFixture("retrieval/status-application.html")}), "") << c.number;
    ExpectFields(entry, {{kAppNum, "10/987,654"},
                         {kPatNum, c.pat_num},
                         {kPubNum, c.pub_num},
                         {kStatus, "Patented Case"},
                         {kForeign, ""},
                         {kParentContinuity, ""},
                         {kChildContinuity, ""}});
  }
}

TEST_F(EntryFetchTest, UnknownNumberOnlyRecordsTheNotFoundHistory) {
  struct Case {
    int id;
    const char* number;
    const char* page;
  };
  // The message is broken over two lines as the site prints it; white space is collapsed first.
  const Case cases[] = {
      {kAppNum, "10/999,999",
       "<HTML><BODY><FONT COLOR=RED>Sorry, the entered Application\r\n   Number "
       "\"10999999\" is not valid.</FONT></BODY></HTML>"},
      {kPatNum, "7,999,999",
       "<HTML><BODY>Sorry, the entered Patent Number \"7999999\" is not valid.</BODY></HTML>"},
      {kPubNum, "2005-0009999 A1",
       "<HTML><BODY>sorry, the entered publication number \"2005-0009999\"</BODY></HTML>"},
  };
  for (const Case& c : cases) {
    CEntry entry = EntryWith(c.id, c.number);
    entry.SetText(kExaminer, "OLD, EXAMINER");
    entry.SetText(kStatus, "Pending");
    entry.SetText(kForeign, "DE 1 , 2004-01-01");
    entry.SetText(kPTA, "yes");
    CEntry expected = entry;
    expected.SetText(kLastHistoryDate, "????-??-??");
    expected.SetText(kLastHistoryText, "Not found in the PAIR database.");

    // Only the status page is judged; the other two need not be complete.
    ASSERT_EQ(Parse(entry, {c.page, "", ""}), "") << c.number;
    for (int id = kReference; id < kFieldCount; ++id) {
      EXPECT_EQ(entry.Text(id), expected.Text(id)) << c.number << " " << kFields[id].key;
    }
  }
}

TEST_F(EntryFetchTest, NotFoundTextOfAnotherNumberKindIsAnIncompletePage) {
  CEntry entry = EntryWith(kPatNum, "7,999,999");
  EXPECT_EQ(Parse(entry, {"Sorry, the entered Application Number \"10999999\""}),
            kIncompletePageMessage);
}

TEST_F(EntryFetchTest, IncompleteOrEmptyPagesFail) {
  const std::string status = ReadFixture("retrieval/status-application.html");
  const std::string foreign = ReadFixture("retrieval/foreign-priority.html");
  const std::string continuity = ReadFixture("retrieval/continuity.html");
  const std::string cut_status = ReplaceOnce(status, "Customer Number:", "Customer No.");
  struct Case {
    const char* name;
    std::vector<std::string> pages;
    const char* error;
  };
  const Case cases[] = {
      {"empty status page", {"", foreign, continuity}, kNoDataMessage},
      {"status page of blanks only", {" \t ", foreign, continuity}, kNoDataMessage},
      {"status page without its required text",
       {cut_status, foreign, continuity},
       kIncompletePageMessage},
      {"foreign page without either marker",
       {status, "<html>Priority</html>", continuity},
       kIncompletePageMessage},
      {"continuity page without either marker",
       {status, foreign, "<html>Data</html>"},
       kIncompletePageMessage},
      {"continuity page missing", {status, foreign}, kIncompletePageMessage},
      {"failure page later in the list",
       {status, foreign, "Unable to connect to the PAIR database. Please try again later."},
       "!Unable to connect to the PAIR database. Please try again later."},
  };
  for (const Case& c : cases) {
    CEntry entry = EntryWith(kAppNum, "10/987,654");
    EXPECT_EQ(Parse(entry, c.pages), c.error) << c.name;
  }

  CEntry entry = EntryWith(kAppNum, "10/987,654");
  EXPECT_EQ(Marked(ParseEntryPages(*app_, entry, {}, {}, {})), kNoDataMessage);
}

TEST_F(EntryFetchTest, PagesWithNothingToListLeaveTheListsEmpty) {
  CEntry entry = EntryWith(kAppNum, "10/987,654");
  entry.SetText(kForeign, "stale foreign");
  entry.SetText(kParentContinuity, "stale parent");
  entry.SetText(kChildContinuity, "stale child");
  // Neither page carries its heading ("Foreign Priority", "Parent Continuity Data"): the
  // "nothing" marker is enough.
  ASSERT_EQ(Parse(entry, {ReadFixture("retrieval/status-application.html"),
                          ReadFixture("retrieval/no-foreign.html"),
                          ReadFixture("retrieval/no-continuity.html")}),
            "");
  ExpectFields(entry, {{kForeign, ""},
                       {kParentContinuity, ""},
                       {kChildContinuity, ""},
                       {kExaminer, "NGUYEN, THU V"}});
}

TEST_F(EntryFetchTest, TermMarkersAreReadFromTheRawPageWithoutComments) {
  const std::string status = ReadFixture("retrieval/status-application.html");
  const std::string pta_input = "value=\"document.ptahist_form\"";
  const std::string without_pta = ReplaceOnce(status, pta_input, "value=\"none\"");
  struct Case {
    const char* name;
    std::string page;
    const char* pta;
    const char* pte;
  };
  const Case cases[] = {
      {"adjustment form only", status, "yes", ""},
      {"both forms",
       without_pta + "<INPUT TYPE=hidden value=\"document.ptahist_form\">"
                     "<INPUT TYPE=hidden value=\"document.ptehist_form\">",
       "yes", "yes"},
      {"upper-case attribute", without_pta + "<INPUT VALUE=\"DOCUMENT.PTEHIST_FORM\">", "", "yes"},
      {"forms only inside comments",
       without_pta + "<!-- <INPUT value=\"document.ptahist_form\"> -->", "", ""},
  };
  for (const Case& c : cases) {
    CEntry entry = EntryWith(kAppNum, "10/987,654");
    ASSERT_EQ(Parse(entry, {c.page}), "") << c.name;
    EXPECT_EQ(entry.Text(kPTA), c.pta) << c.name;
    EXPECT_EQ(entry.Text(kPTE), c.pte) << c.name;
  }
}

TEST_F(EntryFetchTest, LastHistoryWithoutSeparatorIsAllDate) {
  const std::string history_pattern =
      " [LastHistory]: <td>File History</td></tr><tr>[-]<tr>[-]<td>[*1#mm?dd?yyyy]</td>";
  app_->Rules().text =
      ReplaceOnce(app_->Rules().text, history_pattern + "[*2' - ]<td>[*3]</td>", history_pattern);
  CEntry entry = EntryWith(kAppNum, "10/987,654");
  entry.SetText(kLastHistoryText, "Old description");
  ASSERT_EQ(Parse(entry, {ReadFixture("retrieval/status-application.html")}), "");
  EXPECT_EQ(entry.Text(kLastHistoryDate), "2006-10-17");
  EXPECT_EQ(entry.Text(kLastHistoryText), "");
}

}  // namespace
}  // namespace larkspire
