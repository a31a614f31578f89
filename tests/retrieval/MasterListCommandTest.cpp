// The master-list step against a loopback stand-in for the proxy that serves the simulator's
// search and result pages: every listed application is added once, and one already monitored
// is not added again. A row's entry carries only its application number (the identifier), so a
// monitored entry with just the same patent number does not make it a duplicate.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "entries/Entry.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/MasterList.h"
#include "retrieval/MasterListCommand.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

// home.pl gives the customer-number search page; a customer search gives result set N of
// customer C from results-C-N.html, or the page saying there are none.
void ServeSimPages(const std::string& request, CTestConnection& connection) {
  std::string page;
  std::smatch match;
  if (request.find("/home.pl") != std::string::npos) {
    page = ReadFixture("sim/search.html");
  } else if (std::regex_search(request, match,
                               std::regex("customernumber=([0-9]+).*ResultSet=([0-9]+)"))) {
    std::string name = "sim/results-" + match[1].str() + "-" + match[2].str() + ".html";
    if (!ReadWholeFile(std::string(LARKSPIRE_TEST_DATA) + "/" + name, page)) {
      page = ReadFixture("sim/results-45678-1.html");  // "no applications" for 45678
    }
  }
  connection.Write(CHttpTestServer::Ok(page));
}

CEntry ListedEntry(const char* app_num, const char* pat_num) {
  CEntry entry;
  entry.SetText(kAppNum, app_num);
  entry.SetText(kPatNum, pat_num);
  entry.SetText(kReference, "listed");
  entry.Normalize();
  return entry;
}

TEST(MasterListCommandTest, AddsEachListedApplicationOnceAndSkipsOneAlreadyMonitored) {
  CTempDir dir;
  CHttpTestServer server(ServeSimPages);
  CTestApp app;
  app->Settings().LogDir.Set(dir.Path());
  app->Settings().ProxyServer.Set(server.HostPort());
  app->Status().headless = true;
  app->Status().auto_run = true;
  app->Rules().update_due = false;
  // 10/345,678 is monitored already; 10/123,456 (patent 7,091,234) only as its patent.
  app->Entries().Insert(ListedEntry("10/345,678", ""));
  app->Entries().Insert(ListedEntry("", "7,091,234"));

  EXPECT_TRUE(RunMasterListStep(*app));
  // After the search page and a count page per customer number, each result page is asked for
  // once (those asked for ahead may come in any order).
  std::vector<std::string> result_pages;
  const std::vector<std::string> requests = server.Requests();
  for (std::size_t i = 4; i < requests.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_search(requests[i], match,
                                  std::regex("customernumber=([0-9]+).*ResultSet=([0-9]+)")));
    result_pages.push_back(match[1].str() + "-" + match[2].str());
  }
  std::sort(result_pages.begin(), result_pages.end());
  EXPECT_EQ(result_pages, (std::vector<std::string>{"23456-1", "23456-2", "34567-1"}));

  std::vector<std::string> numbers;
  for (std::size_t row = 0; row < app->Entries().Size(); ++row) {
    numbers.push_back(app->Entries().At(row).Text(kAppNum));
  }
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers,
            (std::vector<std::string>{"", "10/123,456", "10/345,678", "10/987,654", "11/234,567",
                                      "11/456,789", "11/678,901", "12/050,321"}));
}

// A result page that counts more result sets than any customer number has fails the import
// as a damaged page, before any result set is asked for.
TEST(MasterListCommandTest, ACountNoCustomerNumberCanHaveFailsTheImportAsADamagedPage) {
  for (const char* count : {"10001:", "2147483647:"}) {
    CTempDir dir;
    CHttpTestServer server([&](const std::string& request, CTestConnection& connection) {
      if (request.find("customernumber=23456") == std::string::npos) {
        ServeSimPages(request, connection);
        return;
      }
      if (request.find("ResultSet=1") == std::string::npos) {
        connection.Write("HTTP/1.0 404 Not Found\r\n\r\n");
        return;
      }
      connection.Write(CHttpTestServer::Ok(ReplaceOnce(
          ReadFixture("sim/results-23456-1.html"), "2:</FONT>", std::string(count) + "</FONT>")));
    });
    CTestApp app;
    app->Settings().LogDir.Set(dir.Path());
    app->Settings().ProxyServer.Set(server.HostPort());
    app->Status().headless = true;
    app->Status().auto_run = true;
    app->Rules().update_due = false;

    EXPECT_TRUE(RunMasterListStep(*app));

    EXPECT_EQ(app->Entries().Size(), 0u) << count;
    std::string log;
    ReadWholeFile(app->Log().Path(), log);
    EXPECT_NE(log.find(std::string("Update Master List Failed '") + kDamagedCountMessage + "'"),
              std::string::npos)
        << log;
    // The search page and the count page of the first customer number, nothing after them.
    EXPECT_EQ(server.Requests().size(), 2u) << count;
  }
}

// Closing the window while a page of the import is being fetched ends the import as a close
// ends an update run: no "Update Master List Failed" box and no closing question.
TEST(MasterListCommandTest, ACloseDuringAFetchEndsTheImportQuietly) {
  struct Case {
    const char* stalled;  // the request that never gets its answer
    int failures;         // the page phase counts the close as a failure
  };
  for (const Case& c : {Case{"/home.pl", 0}, Case{"ResultSet=2", 1}}) {
    SCOPED_TRACE(c.stalled);
    CTempDir dir;
    CHttpTestServer server([&](const std::string& request, CTestConnection& connection) {
      if (request.find(c.stalled) != std::string::npos) return connection.Stall();
      ServeSimPages(request, connection);
    });
    CNetTestApp test;
    CRun& app = test.App();
    app.Settings().LogDir.Set(dir.Path());
    app.Settings().ProxyServer.Set(server.HostPort());
    LoadRules(app);
    // Monitored already, so the import would otherwise ask its questions.
    app.Entries().Insert(ListedEntry("10/345,678", ""));
    test.Ui().answer_when = {{"", MsgAnswer::kYes}};  // every question
    app.Rules().update_due = false;
    test.Ui().on_pump = [&] {
      for (const std::string& request : server.Requests()) {
        if (request.find(c.stalled) != std::string::npos) app.SetAbort(kAbortClosing);
      }
    };

    RunMasterListStep(app);

    // The question before the import, and nothing after it.
    EXPECT_EQ(test.Ui().Texts(),
              std::vector<std::string>{"Do you want to update the master list before "
                                       "updating the status of all the entries?"});
    EXPECT_EQ(app.Status().failure_count, c.failures);
    EXPECT_FALSE(app.Status().had_failures);
    std::string log;
    ReadWholeFile(dir.File("Larkspire.log"), log);
    EXPECT_EQ(log.find("Update Master List Failed"), std::string::npos) << log;
    EXPECT_EQ(log.find("Update Master List Succeeded"), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace larkspire
