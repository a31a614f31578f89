#include <gtest/gtest.h>

#include "notify/Variables.h"
#include "platform/Files.h"
#include "retrieval/RulesUpdate.h"
#include "rules/PageText.h"
#include "rules/RulesFile.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"

namespace larkspire {
namespace {

constexpr const char* kPublisherRules = "http://www.larkspire.example/support/larkspire.txt";

class RulesUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app().Settings().LogDir.Set(dir_.Path());
    LoadRules(app());
    built_in_ = app().Rules().text;
  }
  CRun& app() { return net_.App(); }

  // The rules in use point their publisher address at host:port.
  void PublishAt(const std::string& host_port) {
    app().Rules().text =
        ReplaceAll(built_in_, kPublisherRules, "http://" + host_port + "/support/larkspire.txt");
  }
  static std::string WithVersion(const std::string& rules, const std::string& version) {
    return ReplaceAll(rules, "version: 4.2.04.000", "version: " + version);
  }

  CTempDir dir_;
  CNetTestApp net_;
  std::string built_in_;
};

TEST_F(RulesUpdateTest, ANewerVersionIsUsedAtOnceAndSavedAtExit) {
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  CHttpTestServer server(CHttpTestServer::Reply(CHttpTestServer::Ok(newer)));
  PublishAt(server.HostPort());
  UpdateRules(app());
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
  EXPECT_EQ(app().Rules().text, newer);
  EXPECT_EQ(CHttpTestServer::RequestLine(server.Requests().at(0)),
            "GET /support/larkspire.txt HTTP/1.0");
  // No copy without the Larkspire folder; with it, the text byte for byte.
  SaveRules(app());
  EXPECT_FALSE(FileExists(dir_.File("Larkspire/rules.txt")));
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  SaveRules(app());
  std::string saved;
  ASSERT_TRUE(ReadWholeFile(dir_.File("Larkspire/rules.txt"), saved));
  EXPECT_EQ(saved, newer);
  // Once per run.
  UpdateRules(app());
  EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(RulesUpdateTest, SameVersionOrACutTextChangesNothing) {
  ASSERT_TRUE(MakeDirectories(dir_.File("Larkspire")));
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  for (const std::string& body :
       {built_in_, newer.substr(0, newer.find("end-of-rules")), std::string("<html>oops")}) {
    CHttpTestServer server(CHttpTestServer::Reply(CHttpTestServer::Ok(body)));
    PublishAt(server.HostPort());
    const std::string before = app().Rules().text;
    app().Rules().update_due = true;
    UpdateRules(app());
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_EQ(app().Rules().text, before);
    EXPECT_EQ(app().Rules().version, "4.2.04.000");
    SaveRules(app());
    EXPECT_FALSE(FileExists(dir_.File("Larkspire/rules.txt")));
  }
}

TEST_F(RulesUpdateTest, AFailedDirectFetchIsRetriedThroughTheProxyOnlyWhenThereIsOne) {
  CTestServer refusing([](CTestConnection&) {});  // closes at once: no status line
  const std::string newer = WithVersion(built_in_, "4.2.05.000");
  CHttpTestServer proxy(CHttpTestServer::Reply(CHttpTestServer::Ok(newer)));

  PublishAt(refusing.HostPort());
  app().Settings().ProxyServer.Set("");
  UpdateRules(app());
  EXPECT_EQ(refusing.Accepted(), 1);
  EXPECT_EQ(proxy.Accepted(), 0);
  EXPECT_EQ(app().Rules().version, "4.2.04.000");
  EXPECT_TRUE(app().Rules().publisher_direct);

  app().Rules().update_due = true;
  app().Settings().ProxyServer.Set(proxy.HostPort());
  UpdateRules(app());
  EXPECT_EQ(refusing.Accepted(), 2);
  ASSERT_EQ(proxy.Accepted(), 1);
  EXPECT_EQ(CHttpTestServer::RequestLine(proxy.Requests()[0]),
            "GET //" + refusing.HostPort() + "/support/larkspire.txt HTTP/1.0");
  EXPECT_EQ(app().Rules().version, "4.2.05.000");
  // The proxy worked: the publisher's files go through it for the rest of the run.
  EXPECT_FALSE(app().Rules().publisher_direct);
}

}  // namespace
}  // namespace larkspire
