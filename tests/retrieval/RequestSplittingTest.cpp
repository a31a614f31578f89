// Text that reaches a request line from outside the program (a rules value, an entry field, a
// value read from a page) must never split the request: the update of such an entry fails with
// the bad-address error before anything is sent.
#include <gtest/gtest.h>

#include <string>

#include "entries/Entry.h"
#include "entries/Identifier.h"
#include "net/HttpGet.h"
#include "notify/Variables.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/UpdateDriver.h"
#include "rules/Dates.h"
#include "rules/RulesFile.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"

namespace larkspire {
namespace {

constexpr std::string_view kAppPage =
    " page[AppNum]: http://pair.uspto.gov/cgi-bin/final/cusnum.pl?USERCODE=123&"
    "ApplicationNumber=[AppNum2]\r\n";

class RequestSplittingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app().Settings().ProxyServer.Set(proxy_.HostPort());
    LoadRules(app());
    app().Rules().update_due = false;
  }
  CRun& app() { return net_.App(); }

  // Updates the one entry of the list and returns its Error field.
  std::string UpdateOnly(CEntry entry) {
    app().Entries().Clear();
    const std::size_t row = app().Entries().Insert(std::move(entry));
    app().Entries().SetSelected(row, true);
    UpdateStatus(app(), true);
    return app().Entries().At(row).Text(kError);
  }
  // An application's other pages may still be fetched; none of them carries the text.
  void ExpectNothingInjected() {
    for (const std::string& request : proxy_.Requests()) {
      EXPECT_EQ(request.find("X-Injected"), std::string::npos) << request;
      EXPECT_EQ(request.find("evil"), std::string::npos) << request;
    }
  }

  CHttpTestServer proxy_{CHttpTestServer::Reply(CHttpTestServer::Ok("never"))};
  CNetTestApp net_;
};

CEntry Application(const char* number) {
  CEntry entry;
  EXPECT_FALSE(SetIdentifier(entry, number));
  entry.Text(kReference) = "R-1";
  return entry;
}

TEST_F(RequestSplittingTest, LineBreakWrittenIntoARulesAddressIsABadUrl) {
  // "\r\n" is the rules file's own escape for a line break.
  app().Rules().text = ReplaceOnce(app().Rules().text, kAppPage,
                                   " page[AppNum]: http://pair.uspto.gov/x?a=[AppNum2]\\r\\n"
                                   "X-Injected: 1\r\n");
  EXPECT_EQ(UpdateOnly(Application("10/123,456")), kBadUrlMessage);
  ExpectNothingInjected();
}

TEST_F(RequestSplittingTest, EntryNumberAcceptedWithAnyTwoLeadingCharactersIsABadUrl) {
  // Two characters and five digits are taken as a patent number, whatever the two are.
  for (const std::string& number : {std::string("\r\n12345"), std::string("\0\n12345", 7)}) {
    CEntry entry;
    ASSERT_FALSE(SetIdentifier(entry, number));
    ASSERT_FALSE(entry.Text(kPatNum).empty());
    entry.Text(kReference) = "R-1";
    EXPECT_EQ(UpdateOnly(entry), kBadUrlMessage);
  }
  EXPECT_EQ(proxy_.Accepted(), 0);
}

TEST_F(RequestSplittingTest, FieldReadFromAPageWithANulIsABadUrlWhereARuleUsesIt) {
  app().Rules().text =
      ReplaceOnce(app().Rules().text, kAppPage,
                  " page[AppNum]: http://pair.uspto.gov/x?a=[AppNum2]&d=[DocketNumber]\r\n");
  CEntry entry = Application("10/123,456");
  entry.Text(kDocketNumber) = std::string("D-1\0GET /evil HTTP/1.0", 22);
  EXPECT_EQ(UpdateOnly(entry), kBadUrlMessage);
  ExpectNothingInjected();
}

}  // namespace
}  // namespace larkspire
