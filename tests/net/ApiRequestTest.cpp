// Keyed requests to a JSON web service: addresses, the request as sent and as the flow log
// shows it, answers of any status read whole (lengths, chunks, Retry-After), and HTTPS only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ApiRequest.h"
#include "support/HttpsTestServer.h"
#include "support/TestWaiter.h"

namespace larkspire {
namespace {

constexpr const char* kKey = "k3y-0f-the-office";

TEST(ApiAddressTest, OnlyWellFormedHttpsAddressesAreRead) {
  struct Case {
    std::string url;
    bool read;
    std::string host;
    int port;
    std::string target;
  };
  const std::vector<Case> cases = {
      {"https://api.uspto.gov/api/v1/patent/applications/16123456", true, "api.uspto.gov", 443,
       "/api/v1/patent/applications/16123456"},
      {"HTTPS://127.0.0.1:8443/search?q=a:b", true, "127.0.0.1", 8443, "/search?q=a:b"},
      {"https://api.uspto.gov", true, "api.uspto.gov", 443, "/"},
      {"https://api.uspto.gov?limit=1", true, "api.uspto.gov", 443, "/?limit=1"},
      // The key must never travel in clear text.
      {"http://api.uspto.gov/api", false, "", 0, ""},
      {"api.uspto.gov/api", false, "", 0, ""},
      {"https://:443/api", false, "", 0, ""},
      {"https://host:0/", false, "", 0, ""},
      {"https://host:70000/", false, "", 0, ""},
      {"https://host:44x/", false, "", 0, ""},
      {"https://user@host/", false, "", 0, ""},
      {"https://host/a b", false, "", 0, ""},
      {"https://host/a\r\nX-Injected: 1", false, "", 0, ""},
      // IPv6 addresses in brackets, their colons apart from the port's.
      {"https://[::1]:8443/search", true, "::1", 8443, "/search"},
      {"https://[2001:db8::7]", true, "2001:db8::7", 443, "/"},
      {"https://[::1/", false, "", 0, ""},
      {"https://[::1]8443/", false, "", 0, ""},
      {"https://[::1]:/", false, "", 0, ""},
      {"https://[api.uspto.gov]/", false, "", 0, ""},
      {"https://::1/", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    CApiAddress address;
    EXPECT_EQ(ReadApiAddress(c.url, address), c.read) << c.url;
    if (!c.read) continue;
    EXPECT_EQ(address.host, c.host) << c.url;
    EXPECT_EQ(address.port, c.port) << c.url;
    EXPECT_EQ(address.target, c.target) << c.url;
  }
}

TEST(ApiRequestTextTest, TheKeyGoesInItsHeaderAndIsHiddenInTheShownForm) {
  CApiRequest request;
  request.method = "POST";
  request.key = kKey;
  request.body = "{\"q\":\"x\"}";
  CApiAddress address{"localhost", 8443, "/search"};
  EXPECT_EQ(BuildApiRequest(request, address, false),
            "POST /search HTTP/1.1\r\nHost: localhost:8443\r\nUser-Agent: Larkspire\r\n"
            "Accept: application/json\r\nConnection: close\r\nX-API-KEY: k3y-0f-the-office\r\n"
            "Content-Type: application/json\r\nContent-Length: 9\r\n\r\n{\"q\":\"x\"}");
  const std::string shown = BuildApiRequest(request, address, true);
  EXPECT_EQ(shown.find(kKey), std::string::npos);
  EXPECT_NE(shown.find("X-API-KEY: (hidden)\r\n"), std::string::npos);

  request.method = "GET";
  address.port = 443;
  EXPECT_EQ(BuildApiRequest(request, address, true),
            "GET /search HTTP/1.1\r\nHost: localhost\r\nUser-Agent: Larkspire\r\n"
            "Accept: application/json\r\nConnection: close\r\nX-API-KEY: (hidden)\r\n\r\n");
  address.host = "::1";
  EXPECT_EQ(BuildApiRequest(request, address, true).substr(0, 35),
            "GET /search HTTP/1.1\r\nHost: [::1]\r\n");
  address.port = 8443;
  EXPECT_EQ(BuildApiRequest(request, address, true).substr(0, 40),
            "GET /search HTTP/1.1\r\nHost: [::1]:8443\r\n");
}

TEST(ApiResponseTest, AnswersOfEveryStatusAreReadWhole) {
  struct Case {
    const char* name;
    std::string response;
    std::string error;
    int status;
    std::string reason;
    std::string retry_after;
    std::string body;
  };
  const std::string unreadable = "The web service's answer cannot be read ";
  const std::vector<Case> cases = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}trailing", "", 200, "OK", "", "{}"},
      {"to the close", "HTTP/1.0 404 Not Found\r\n\r\n{\"x\":1}", "", 404, "Not Found", "",
       "{\"x\":1}"},
      {"retry-after, any case", "HTTP/1.1 429 Too Many Requests\r\nretry-after:  7 \r\n\r\n", "",
       429, "Too Many Requests", "7", ""},
      {"no reason", "HTTP/1.1 503\r\n\r\n", "", 503, "", "", ""},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
       "chunked\r\n\r\n4\r\n{\"a\"\r\n9;ext=1\r\n:[1,2,3]}\r\n"
       "0\r\nX-Trailer: 1\r\n\r\n",
       "", 200, "OK", "", "{\"a\":[1,2,3]}"},
      {"empty", "", unreadable + "(it is empty).", 0, "", "", ""},
      {"headers cut short", "HTTP/1.1 200 OK\r\nContent-Le",
       unreadable + "(its headers are cut short).", 0, "", "", ""},
      {"no status line", "<html>\r\n\r\n", unreadable + "(it has no status line).", 0, "", "", ""},
      {"bad code", "HTTP/1.1 2x0 OK\r\n\r\n", unreadable + "(it has no status line).", 0, "", "",
       ""},
      {"shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n{}",
       unreadable + "(it is shorter than its length).", 200, "OK", "", ""},
      {"length not a number", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n{}",
       unreadable + "(its length is not a number).", 200, "OK", "", ""},
      {"chunk cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n{}",
       unreadable + "(a chunk is cut short).", 200, "OK", "", ""},
      {"chunk without size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n{}\r\n",
       unreadable + "(a chunk has no size).", 200, "OK", "", ""},
      // Sizes at the top of the range, where adding the line end's two bytes wraps round, and
      // one past it.
      {"chunk size 2^64 - 1",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffff\r\n{}\r\n",
       unreadable + "(a chunk's size is out of range).", 200, "OK", "", ""},
      {"chunk size 2^64 - 2",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFE\r\n{}\r\n",
       unreadable + "(a chunk's size is out of range).", 200, "OK", "", ""},
      {"chunk size 2^64",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000000\r\n{}\r\n",
       unreadable + "(a chunk's size is out of range).", 200, "OK", "", ""},
      {"chunk larger than any answer",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000001\r\n{}\r\n",
       unreadable + "(a chunk's size is out of range).", 200, "OK", "", ""},
      {"chunk two bytes longer than what came",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n{}\r\n",
       unreadable + "(a chunk is cut short).", 200, "OK", "", ""},
  };
  for (const Case& c : cases) {
    CApiAnswer answer;
    EXPECT_EQ(ReadApiResponse(c.response, answer), c.error) << c.name;
    EXPECT_EQ(answer.status, c.status) << c.name;
    EXPECT_EQ(answer.reason, c.reason) << c.name;
    EXPECT_EQ(answer.retry_after, c.retry_after) << c.name;
    if (c.error.empty()) {
      EXPECT_EQ(answer.body, c.body) << c.name;
    }
  }
}

class ApiRequestTest : public ::testing::Test {
 protected:
  // The flow-log texts without their timestamps and line ends.
  std::vector<std::string> FlowTexts() {
    std::vector<std::string> texts;
    for (const FlowLine& line : waiter_.SharedFlowLog()->Drain()) {
      texts.push_back(line.text.substr(7, line.text.size() - 9));
    }
    return texts;
  }

  CApiRequest Request(const CHttpsTestServer& server, const std::string& target) {
    CApiRequest request;
    request.url = server.Url(target);
    request.key = kKey;
    request.ca_file = server.CaFile();
    return request;
  }

  CTestWaiter waiter_;
};

TEST_F(ApiRequestTest, ARequestGoesOutOverTlsWithItsKeyAndTheFlowLogNeverShowsTheKey) {
  CHttpsTestServer server([](const std::string&) {
    return CHttpsTestServer::Answer(429, "Too Many Requests", "{\"message\":\"slow down\"}",
                                    "Retry-After: 9\r\n");
  });
  CApiRequest request = Request(server, "/api/v1/patent/applications/search");
  request.method = "POST";
  request.body = "{\"q\":\"applicationNumberText:16123456\"}";
  CApiAnswer answer;
  ASSERT_EQ(SendApiRequest(waiter_, request, answer), "");
  EXPECT_EQ(answer.status, 429);
  EXPECT_EQ(answer.retry_after, "9");
  EXPECT_EQ(answer.body, "{\"message\":\"slow down\"}");

  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "POST /api/v1/patent/applications/search HTTP/1.1");
  EXPECT_NE(requests[0].find("\r\nX-API-KEY: k3y-0f-the-office\r\n"), std::string::npos);
  EXPECT_TRUE(requests[0].ends_with("\r\n\r\n" + request.body));

  // The flow log shows the dialogue in clear text after TLS began, and the key nowhere.
  bool tls_started = false;
  bool request_shown = false;
  for (const std::string& text : FlowTexts()) {
    EXPECT_EQ(text.find(kKey), std::string::npos) << text;
    tls_started = tls_started || text.starts_with("ApiRequest: TLS started");
    request_shown =
        request_shown || (tls_started && text.starts_with("ApiRequest: Sending 'POST /api"));
  }
  EXPECT_TRUE(request_shown);

  // A GET ends with the key's header, and the flow log shows a request's end.
  ASSERT_EQ(
      SendApiRequest(waiter_, Request(server, "/api/v1/patent/applications/16123456"), answer), "");
  EXPECT_NE(server.Requests().back().find("\r\nX-API-KEY: k3y-0f-the-office\r\n\r\n"),
            std::string::npos);
  bool hidden_shown = false;
  for (const std::string& text : FlowTexts()) {
    EXPECT_EQ(text.find(kKey), std::string::npos) << text;
    hidden_shown =
        hidden_shown || text.find("X-API-KEY: (hidden)\\r\\n\\r\\n'") != std::string::npos;
  }
  EXPECT_TRUE(hidden_shown);
}

TEST_F(ApiRequestTest, NothingIsSentToAnAddressThatIsNotHttpsOrToAnUntrustedServer) {
  CHttpsTestServer server(
      [](const std::string&) { return CHttpsTestServer::Answer(200, "OK", "{}"); });
  CApiAnswer answer;
  CApiRequest plain = Request(server, "/");
  plain.url = "http://" + server.HostPort() + "/";
  EXPECT_EQ(SendApiRequest(waiter_, plain, answer),
            "The web service's address is not an https:// address.");

  CApiRequest broken_key = Request(server, "/");
  broken_key.key = "pasted\r\nwith its line end";
  EXPECT_EQ(SendApiRequest(waiter_, broken_key, answer), "The API key holds a line break.");

  CApiRequest untrusted = Request(server, "/");
  untrusted.ca_file.clear();
  const std::string error = SendApiRequest(waiter_, untrusted, answer);
  EXPECT_TRUE(error.starts_with("TLS: ")) << error;
  EXPECT_TRUE(server.Requests().empty());
  for (const std::string& text : FlowTexts()) EXPECT_EQ(text.find(kKey), std::string::npos);
}

}  // namespace
}  // namespace larkspire
