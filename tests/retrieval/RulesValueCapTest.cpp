// A rules file whose "#find=replace" pieces would blow a value up past 64 KB: the entry's update
// fails with the rules file's error instead of building the value, and a master-list import
// stops the same way.
#include <gtest/gtest.h>

#include <string>

#include "entries/Entry.h"
#include "entries/Identifier.h"
#include "notify/Variables.h"
#include "retrieval/FetchTestSupport.h"
#include "retrieval/MasterListCommand.h"
#include "retrieval/UpdateDriver.h"
#include "rules/RulesFile.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

// Doubles a digit of a value twenty times over: a few hundred bytes that ask for megabytes.
std::string Doubling(const std::string& name, char digit) {
  std::string reference = "[" + name;
  for (int i = 0; i < 20; ++i) reference += std::string("#") + digit + "=" + digit + digit;
  return reference + "]";
}

class RulesValueCapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app().Settings().LogDir.Set(dir_.Path());
    app().Settings().ProxyServer.Set(proxy_.HostPort());
    LoadRules(app());
    app().Rules().update_due = false;
  }
  CRun& app() { return net_.App(); }
  // The rule's line in the built-in rules given a new value.
  void SetRule(std::string_view key, const std::string& value) {
    const std::string head = "\r\n " + std::string(key) + ": ";
    std::string& text = app().Rules().text;
    const std::size_t at = text.find(head);
    ASSERT_NE(at, std::string::npos) << key;
    text.replace(at + head.size(), text.find("\r\n", at + 2) - at - head.size(), value);
  }
  std::string LogText() {
    std::string log;
    ReadWholeFile(app().Log().Path(), log);
    return log;
  }

  CTempDir dir_;
  // The customer-number search page, and one status page for every other request.
  CHttpTestServer proxy_{[](const std::string& request, CTestConnection& connection) {
    const bool search = request.find("/home.pl") != std::string::npos;
    connection.Write(
        CHttpTestServer::Ok(ReadFixture(search ? "sim/search.html" : "sim/status-10123456.html")));
  }};
  CNetTestApp net_;
};

TEST_F(RulesValueCapTest, AnAddressOrPatternPastTheCapIsTheEntrysError) {
  const struct {
    const char* key;
    int fetched;  // requests made before the error
  } cases[] = {{"page[AppNum]", 0}, {"[Status]", 3}};
  for (const auto& c : cases) {
    LoadRules(app());
    SetRule(c.key, Doubling("AppNum2", '1'));
    app().Entries().Clear();
    CEntry entry;
    ASSERT_FALSE(SetIdentifier(entry, "10/123,456"));
    entry.SetText(kReference, "R-1");
    const std::size_t row = app().Entries().Insert(std::move(entry));
    app().Entries().SetSelected(row, true);
    const std::size_t before = proxy_.Requests().size();

    UpdateStatus(app(), true);

    const std::string message = RuleTooLongMessage("fetch1", c.key);
    EXPECT_EQ(app().Entries().At(row).Text(kError), message);
    EXPECT_EQ(proxy_.Requests().size() - before, static_cast<std::size_t>(c.fetched)) << c.key;
    EXPECT_NE(LogText().find("> " + message + "\r\n"), std::string::npos) << LogText();
    EXPECT_EQ(TakeRulesError(app()), "");
  }
}

TEST_F(RulesValueCapTest, AResultPageAddressPastTheCapStopsTheImport) {
  SetRule("page[0]", Doubling("MasterListCookie", '2'));  // 23456 and so on
  app().Status().headless = true;
  app().Status().auto_run = true;
  EXPECT_TRUE(RunMasterListStep(app()));
  const std::string message = RuleTooLongMessage("masterlist", "page[0]");
  EXPECT_NE(LogText().find("Update Master List Failed '" + message + "'"), std::string::npos)
      << LogText();
}

}  // namespace
}  // namespace larkspire
