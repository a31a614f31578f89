// The Open Data Portal client of a run: what each answer of the service means, a 429 or 5xx
// waited for and tried again a bounded number of times, a refused or missing key, and the
// key's lock file; the settings it reads (source, key, customer numbers, server).
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/PasswordScramble.h"
#include "platform/Files.h"
#include "retrieval/OdpClient.h"
#include "retrieval/OdpKeyCheck.h"
#include "retrieval/OdpSettings.h"
#include "support/HttpsTestServer.h"
#include "support/ScopedVariable.h"
#include "support/TempDir.h"
#include "support/TestApp.h"

namespace larkspire {
namespace {

constexpr const char* kKey = "office-key-7d1e";
constexpr const char* kApplication = "/api/v1/patent/applications/10123456";
constexpr const char* kNoMatch =
    "{\"code\":\"404\",\"message\":\"Not Found\",\"detailedMessage\":\"No matching records found, "
    "refine your search criteria and try again\"}";

class OdpClientTest : public ::testing::Test {
 protected:
  OdpClientTest() {
    app_->Settings().LogDir.Set(dir_.Path());
    app_->Settings().OdpServer.Set(server_.HostPort());
    app_->Settings().CaFile.Set(server_.CaFile());
  }

  // The answers the server gives, in turn; the last one is repeated.
  void Answer(std::vector<std::string> answers) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_ = std::move(answers);
    next_ = 0;
  }
  std::string Url() const { return server_.Url(kApplication); }

  CScopedVariable no_variable_{kOdpKeyVariable, nullptr};
  CTempDir dir_;
  CTestApp app_;
  std::mutex mutex_;
  std::vector<std::string> answers_;
  std::size_t next_ = 0;
  CHttpsTestServer server_{[this](const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string& answer = answers_.at(std::min(next_, answers_.size() - 1));
    ++next_;
    return answer;
  }};
};

TEST_F(OdpClientTest, EachAnswerOfTheServiceHasItsMeaning) {
  using A = CHttpsTestServer;
  struct Case {
    std::string answer;
    EOdpOutcome outcome;
    std::string message;
  };
  const std::string url = "https://" + server_.HostPort() + kApplication;
  const std::vector<Case> cases = {
      {A::Answer(200, "OK", "{\"count\":1}"), EOdpOutcome::kAnswered, ""},
      {A::Answer(404, "Not Found", kNoMatch), EOdpOutcome::kNotFound, ""},
      // A 404 that is not the service's "no such record" is an address the service lacks.
      {A::Answer(404, "Not Found", "{\"message\":\"Missing Authentication Token\"}"),
       EOdpOutcome::kFailed,
       "The Open Data Portal answered 404 Not Found: Missing Authentication Token for " + url +
           "; the rules file may need an update."},
      {A::Answer(401, "Unauthorized", ""), EOdpOutcome::kKeyRefused,
       "The Open Data Portal wants an API key (it answered 401 Unauthorized). Enter your key in "
       "Options > Configure, or set USPTO_API_KEY for the program."},
      {A::Answer(403, "Forbidden", "{\"detailedMessage\":\"The API key is not yet active\"}"),
       EOdpOutcome::kKeyRefused,
       "The Open Data Portal refused the API key (it answered 403 Forbidden: The API key is not "
       "yet active). Check the key in Options > Configure: a new key takes a while to become "
       "active, and an unused one lapses after a year. A key comes with an account at "
       "data.uspto.gov."},
      {A::Answer(400, "Bad Request", "{\"detailedMessage\":\"Invalid request\"}"),
       EOdpOutcome::kFailed,
       "The Open Data Portal answered 400 Bad Request: Invalid request for " + url + "."},
      {A::Answer(413, "Payload Too Large", "not json"), EOdpOutcome::kFailed,
       "The Open Data Portal answered 413 Payload Too Large for " + url + "."},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n{}", EOdpOutcome::kFailed,
       "The web service's answer cannot be read (it is shorter than its length)."},
  };
  COdpClient client(*app_, kKey);
  for (const Case& c : cases) {
    Answer({c.answer});
    const COdpReply reply = client.Get(Url() + "?fields=a");
    EXPECT_EQ(reply.outcome, c.outcome) << c.answer;
    EXPECT_EQ(reply.message, c.message) << c.answer;
    EXPECT_EQ(reply.body, c.outcome == EOdpOutcome::kAnswered ? "{\"count\":1}" : "");
  }
  EXPECT_EQ(server_.Requests().size(), cases.size());
  EXPECT_EQ(app_->Status().odp_requests, static_cast<int>(cases.size()));
}

TEST_F(OdpClientTest, A429IsTriedAgainAfterItsWaitAndTheKeyGoesInEveryRequest) {
  Answer({CHttpsTestServer::Answer(429, "Too Many Requests", "{}"),
          CHttpsTestServer::Answer(200, "OK", "{\"count\":0}")});
  COdpClient client(*app_, kKey);
  const COdpReply reply = client.Post(server_.Url("/api/v1/patent/applications/search"), "{}");
  EXPECT_EQ(reply.outcome, EOdpOutcome::kAnswered) << reply.message;
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const std::string& request : requests) {
    EXPECT_TRUE(request.starts_with("POST /api/v1/patent/applications/search HTTP/1.1\r\n"));
    EXPECT_NE(request.find("\r\nX-API-KEY: office-key-7d1e\r\n"), std::string::npos);
  }
  std::string log;
  ReadWholeFile(app_->Log().Path(), log);
  EXPECT_NE(log.find("Open Data Portal answered 429 Too Many Requests; trying again in 5 s"),
            std::string::npos);
  EXPECT_EQ(log.find(kKey), std::string::npos);
  // The key's lock file is named by a digest of the key, never the key.
  const std::string lock = OdpLockPath(dir_.Path(), kKey);
  EXPECT_TRUE(FileExists(lock));
  EXPECT_EQ(lock.find(kKey), std::string::npos);
  EXPECT_NE(lock, OdpLockPath(dir_.Path(), "another key"));
}

TEST_F(OdpClientTest, AServiceBusyOnEveryTryOrAskingForALongWaitIsBusy) {
  struct Case {
    std::string answer;
    int tries;
    std::size_t requests;
    std::string message;
  };
  const std::vector<Case> cases = {
      {CHttpsTestServer::Answer(503, "Service Unavailable", ""), 2, 2,
       "The Open Data Portal is busy (it answered 503 Service Unavailable 2 times). Try again "
       "later."},
      // A wait longer than a run should wait is not waited for at all.
      {CHttpsTestServer::Answer(429, "Too Many Requests", "", "Retry-After: 3600\r\n"), 4, 1,
       "The Open Data Portal is busy (it answered 429 Too Many Requests). Try again later."},
  };
  std::size_t before = 0;
  for (const Case& c : cases) {
    Answer({c.answer});
    COdpClient client(*app_, kKey);
    client.SetTries(c.tries);
    const COdpReply reply = client.Get(Url());
    EXPECT_EQ(reply.outcome, EOdpOutcome::kBusy);
    EXPECT_EQ(reply.message, c.message);
    EXPECT_EQ(server_.Requests().size() - before, c.requests);
    before = server_.Requests().size();
  }
}

TEST_F(OdpClientTest, TheKeyComesFromTheSettingElseFromTheEnvironmentAndWithoutOneNothingIsSent) {
  Answer({CHttpsTestServer::Answer(200, "OK", "{}")});
  {
    COdpClient client(*app_);
    EXPECT_EQ(client.SetupError(),
              "The Open Data Portal needs an API key. Enter it in Options > Configure, or set "
              "USPTO_API_KEY for the program. A key comes with an account at data.uspto.gov.");
    const COdpReply reply = client.Get(Url());
    EXPECT_EQ(reply.outcome, EOdpOutcome::kKeyRefused);
    EXPECT_EQ(reply.message, client.SetupError());
    EXPECT_TRUE(server_.Requests().empty());
  }
  {
    CScopedVariable variable(kOdpKeyVariable, "from-the-environment\n");
    EXPECT_EQ(OdpKeyOf(app_->Settings()), "from-the-environment");
    app_->Settings().OdpKey.Set(ScramblePassword(" from-the-setting "));
    EXPECT_EQ(OdpKeyOf(app_->Settings()), "from-the-setting");
    COdpClient client(*app_);
    EXPECT_EQ(client.SetupError(), "");
    EXPECT_EQ(client.Get(Url()).outcome, EOdpOutcome::kAnswered);
    EXPECT_NE(server_.Requests().back().find("\r\nX-API-KEY: from-the-setting\r\n"),
              std::string::npos);
  }
}

TEST_F(OdpClientTest, ARefusedKeyTakenFromTheEnvironmentSaysToCheckTheVariable) {
  CScopedVariable variable(kOdpKeyVariable, "scheduled-run-key");
  const struct {
    std::string answer;
    std::string message;
  } cases[] = {
      {CHttpsTestServer::Answer(401, "Unauthorized", ""),
       "The Open Data Portal wants an API key (it answered 401 Unauthorized). Check the key in "
       "USPTO_API_KEY, the environment variable this run took it from, or enter one in Options > "
       "Configure."},
      {CHttpsTestServer::Answer(403, "Forbidden", "{\"message\":\"Key lapsed\"}"),
       "The Open Data Portal refused the API key (it answered 403 Forbidden: Key lapsed). Check "
       "the key in USPTO_API_KEY, the environment variable this run took it from: a new key takes "
       "a while to become active, and an unused one lapses after a year. A key comes with an "
       "account at data.uspto.gov."},
  };
  COdpClient client(*app_);
  for (const auto& c : cases) {
    Answer({c.answer});
    const COdpReply reply = client.Get(Url());
    EXPECT_EQ(reply.outcome, EOdpOutcome::kKeyRefused);
    EXPECT_EQ(reply.message, c.message);
  }
  // A key given to the client (the dialog's key check) is not the environment's.
  Answer({CHttpsTestServer::Answer(403, "Forbidden", "")});
  EXPECT_NE(COdpClient(*app_, kKey).Get(Url()).message.find("Options > Configure:"),
            std::string::npos);
}

TEST_F(OdpClientTest, EveryRequestIsLoggedByItsAddressAndARefusedCertificateStopsTheRun) {
  Answer({CHttpsTestServer::Answer(200, "OK", "{}")});
  COdpClient client(*app_, kKey);
  ASSERT_EQ(client.Get(Url() + "?fields=a").outcome, EOdpOutcome::kAnswered);
  std::string log;
  ReadWholeFile(app_->Log().Path(), log);
  EXPECT_NE(log.find("> Update '" + Url() + "'\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find(kKey), std::string::npos);

  // Without the test CA the service's certificate is refused, as every later request's would be.
  app_->Settings().CaFile.Set("");
  COdpClient refused(*app_, kKey);
  const COdpReply reply = refused.Get(Url());
  EXPECT_EQ(reply.outcome, EOdpOutcome::kTlsRefused);
  EXPECT_TRUE(StopsRun(reply.outcome));
  EXPECT_TRUE(
      reply.message.starts_with("TLS: certificate of localhost not accepted (unknown "
                                "issuer"))
      << reply.message;
}

TEST_F(OdpClientTest, AnOdpSectionThatCannotBeReadStopsEveryRequest) {
  app_->Rules().text = "version: 1\r\nodp:\r\n limit: 12\r\nend-of-rules\r\n";
  COdpClient client(*app_, kKey);
  EXPECT_EQ(client.SetupError(), "The rules file's odp section cannot be used: it has no bag.");
  EXPECT_EQ(client.Get(Url()).outcome, EOdpOutcome::kKeyRefused);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(OdpClientTest, TheKeyCheckSaysWhatTheServiceAnsweredToOneRequest) {
  struct Case {
    std::string answer;
    std::string said;
  };
  const std::vector<Case> cases = {
      {CHttpsTestServer::Answer(200, "OK", "{\"count\":1234,\"patentFileWrapperDataBag\":[]}"),
       "The Open Data Portal accepted the key: it answered 200 OK and serves 1234 "
       "applications."},
      {CHttpsTestServer::Answer(403, "Forbidden", "{\"message\":\"Forbidden\"}"),
       "The Open Data Portal refused the API key (it answered 403 Forbidden: Forbidden). Check "
       "the key in Options > Configure: a new key takes a while to become active, and an unused "
       "one lapses after a year. A key comes with an account at data.uspto.gov."},
      // One request, so a busy service is reported rather than waited for.
      {CHttpsTestServer::Answer(429, "Too Many Requests", ""),
       "The Open Data Portal is busy (it answered 429 Too Many Requests). Try again later."},
      {CHttpsTestServer::Answer(500, "Internal Server Error", ""),
       "The Open Data Portal is busy (it answered 500 Internal Server Error). Try again later."},
  };
  std::size_t before = 0;
  for (const Case& c : cases) {
    Answer({c.answer});
    EXPECT_EQ(CheckOdpKey(*app_, "key-being-entered"), c.said);
    const std::vector<std::string> requests = server_.Requests();
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_TRUE(requests.back().starts_with(
        "GET /api/v1/patent/applications/search?limit=1&fields=applicationNumberText HTTP/1.1"));
    EXPECT_NE(requests.back().find("X-API-KEY: key-being-entered\r\n"), std::string::npos);
    before = requests.size();
  }
  std::string log;
  ReadWholeFile(app_->Log().Path(), log);
  EXPECT_EQ(log.find("key-being-entered"), std::string::npos);
}

TEST(OdpAnswerTextTest, RetryAfterAndTheServicesOwnExplanation) {
  EXPECT_EQ(RetryAfterMs("7"), 7000);
  EXPECT_EQ(RetryAfterMs("0"), 0);
  EXPECT_EQ(RetryAfterMs(""), -1);
  EXPECT_EQ(RetryAfterMs("-3"), -1);
  EXPECT_EQ(RetryAfterMs("Wed, 21 Oct 2015 07:28:00 GMT"), -1);
  EXPECT_EQ(RetryAfterMs("999999999"), 24 * 3600 * 1000);

  EXPECT_EQ(ServiceMessage("{\"message\":\"m\",\"detailedMessage\":\"d\"}"), "d");
  EXPECT_EQ(ServiceMessage("{\"message\":\"m\",\"detailedMessage\":\"\"}"), "m");
  EXPECT_EQ(ServiceMessage("{\"errorDetails\":\"e\"}"), "e");
  EXPECT_EQ(ServiceMessage("{\"message\":42}"), "");
  EXPECT_EQ(ServiceMessage("<html>Forbidden</html>"), "");
  EXPECT_EQ(ServiceMessage("{\"message\":\"Caf\xC3\xA9\"}"), "Caf\xE9");
}

TEST(OdpSettingsTest, SourceCustomerNumbersAndServer) {
  EXPECT_FALSE(UsesOdp(""));
  EXPECT_FALSE(UsesOdp("Site"));
  EXPECT_FALSE(UsesOdp("ODPX"));
  EXPECT_TRUE(UsesOdp("ODP"));
  EXPECT_TRUE(UsesOdp("odp"));

  EXPECT_EQ(SplitCustomerNumbers(" 23456, 34567;45678\t56789,,"),
            (std::vector<std::string>{"23456", "34567", "45678", "56789"}));
  EXPECT_TRUE(SplitCustomerNumbers("").empty());
  EXPECT_TRUE(IsCustomerNumber("23456"));
  EXPECT_FALSE(IsCustomerNumber("23456)"));
  EXPECT_FALSE(IsCustomerNumber("2345 OR 1"));
  EXPECT_FALSE(IsCustomerNumber(""));

  const std::string address = "https://api.uspto.gov/api/v1/patent/applications/10123456";
  EXPECT_EQ(WithOdpServer(address, ""), address);
  EXPECT_EQ(WithOdpServer(address, "127.0.0.1:8443"),
            "https://127.0.0.1:8443/api/v1/patent/applications/10123456");
  EXPECT_EQ(WithOdpServer("https://api.uspto.gov?x=1", "h:1"), "https://h:1?x=1");
  EXPECT_EQ(WithOdpServer("https://api.uspto.gov", "h:1"), "https://h:1");
  EXPECT_EQ(WithOdpServer("http://pair.uspto.gov/x", "h:1"), "http://pair.uspto.gov/x");
}

}  // namespace
}  // namespace larkspire
