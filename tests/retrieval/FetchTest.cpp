#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/Connection.h"
#include "net/FlowText.h"
#include "net/HttpGet.h"
#include "platform/Files.h"
#include "retrieval/Fetch.h"
#include "run/Run.h"
#include "support/HttpTestServer.h"
#include "support/NetTestApp.h"
#include "support/TempDir.h"
#include "support/TlsOrigin.h"

namespace larkspire {
namespace {

constexpr const char* kPairHost = "pair.uspto.gov";

std::string ExpectedGet(const std::string& path, const std::string& host) {
  return "GET " + path +
         " HTTP/1.0\r\nAccept: */*\r\nAccept-Language: en-us\r\nCache-Control: no-cache\r\n"
         "Pragma: no-cache\r\nUser-Agent: Larkspire\r\nHost: " +
         host + "\r\n\r\n";
}

class HttpGetTest : public ::testing::Test {
 protected:
  // One page, direct or through the proxy; returns the error text.
  std::string Get(const std::string& url, bool direct, std::string& page) {
    return FetchPage(test_.App(), url, direct, false, page);
  }
  std::string Direct(CHttpTestServer& server, const std::string& path) {
    return "http://" + server.HostPort() + path;
  }

  CNetTestApp test_{5000};
};

TEST_F(HttpGetTest, DirectRequestIsExactAndReturnsTheBodyAsItArrived) {
  const std::string body = "<HTML>\r\n<body>Status: Patented Case</body>\n</HTML>";
  CHttpTestServer origin(CHttpTestServer::Reply(
      "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n" + body));
  std::string page = "old";
  EXPECT_EQ(Get(Direct(origin, "/x?y=1"), true, page), "");
  EXPECT_EQ(page, body);
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0], ExpectedGet("/x?y=1", origin.HostPort()));
}

TEST_F(HttpGetTest, ThroughTheProxyThePathCarriesTheHost) {
  CHttpTestServer proxy(CHttpTestServer::Reply(CHttpTestServer::Ok("via proxy")));
  test_.App().Settings().ProxyServer.Set(proxy.HostPort());
  std::string page;
  EXPECT_EQ(Get(std::string("http://") + kPairHost + "/x?y=1", false, page), "");
  EXPECT_EQ(page, "via proxy");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0],
            ExpectedGet(std::string("//") + kPairHost + "/x?y=1", proxy.HostPort()));
}

TEST_F(HttpGetTest, DirectMaskSendsOnlyMarkedUrlsDirectAndPagesKeepUrlOrder) {
  // The proxy answers with the path it was asked for, the first one after a delay.
  CHttpTestServer proxy([](const std::string& request, CTestConnection& c) {
    const std::string line = CHttpTestServer::RequestLine(request);
    if (line.find("/first") != std::string::npos) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    c.Write(CHttpTestServer::Ok(line));
  });
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("direct page")));
  test_.App().Settings().ProxyServer.Set(proxy.HostPort());
  const std::vector<std::string> urls = {std::string("http://") + kPairHost + "/first",
                                         std::string("http://") + kPairHost + "/second",
                                         Direct(origin, "/third")};
  std::vector<std::string> pages = {"stale"};
  EXPECT_EQ(FetchPages(test_.App(), urls, 4, 0, pages), "");
  const std::vector<std::string> expected = {std::string("GET //") + kPairHost + "/first HTTP/1.0",
                                             std::string("GET //") + kPairHost + "/second HTTP/1.0",
                                             "direct page"};
  EXPECT_EQ(pages, expected);
  EXPECT_EQ(proxy.Requests().size(), 2u);
  EXPECT_EQ(origin.Requests().size(), 1u);
}

TEST_F(HttpGetTest, FormDataAfterTwoQuestionMarksIsPosted) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("posted")));
  std::string page;
  EXPECT_EQ(Get(Direct(origin, "/a b/form?q=x y??name=J Doe&n=2"), true, page), "");
  EXPECT_EQ(page, "posted");
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0],
            "POST /a%20b/form?q=x%20y HTTP/1.0\r\nAccept: */*\r\nAccept-Language: en-us\r\n"
            "Cache-Control: no-cache\r\nPragma: no-cache\r\nUser-Agent: Larkspire\r\nHost: " +
                origin.HostPort() +
                "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                "Content-Length: 14\r\n\r\nname=J Doe&n=2");
}

TEST_F(HttpGetTest, PostOfSevenCharactersHasContentLengthSeven) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("")));
  std::string page = "old";
  EXPECT_EQ(Get(Direct(origin, "/p??a=1&b=2"), true, page), "");
  EXPECT_EQ(page, "");
  const std::string request = origin.Requests().at(0);
  EXPECT_EQ(CHttpTestServer::RequestLine(request), "POST /p HTTP/1.0");
  EXPECT_NE(request.find("\r\nContent-Length: 7\r\n\r\na=1&b=2"), std::string::npos);
}

TEST_F(HttpGetTest, UpperCaseSchemeWithoutPathAndQuotedUrlsAreAccepted) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("root")));
  std::string page;
  EXPECT_EQ(Get("HTTP://" + origin.HostPort(), true, page), "");
  EXPECT_EQ(Get("\"http://" + origin.HostPort() + "/q\"", true, page), "");
  EXPECT_EQ(Get("'" + origin.HostPort() + "/s'", true, page), "");
  const std::vector<std::string> requests = origin.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], ExpectedGet("/", origin.HostPort()));
  EXPECT_EQ(CHttpTestServer::RequestLine(requests[1]), "GET /q HTTP/1.0");
  EXPECT_EQ(CHttpTestServer::RequestLine(requests[2]), "GET /s HTTP/1.0");
}

TEST_F(HttpGetTest, BadUrlsFailBeforeAnyConnection) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("never")));
  test_.App().Settings().ProxyServer.Set(origin.HostPort());
  const std::string host = origin.HostPort();
  const std::string urls[] = {
      "",
      "ftp://" + host + "/x",
      "http://" + host + "/x\r\nX-Injected: 1",
      "http://" + host + "/x\ny",
      "http://" + host + std::string("/x\0y", 4),
  };
  for (const std::string& url : urls) {
    for (bool direct : {true, false}) {
      std::string page = "untouched";
      EXPECT_EQ(Get(url, direct, page), kBadUrlMessage) << url;
      EXPECT_EQ(page, "untouched");
    }
  }
  EXPECT_EQ(origin.Accepted(), 0);
  EXPECT_TRUE(test_.FlowHas(std::string("HttpGet(0): ") + kBadUrlMessage));
}

TEST_F(HttpGetTest, ProxySettingThatWouldSplitTheRequestFailsBeforeAnyConnection) {
  CHttpTestServer proxy(CHttpTestServer::Reply(CHttpTestServer::Ok("never")));
  const std::string host = proxy.HostPort();
  // The proxy goes into the request path and the Host line; each of these would end a line.
  const std::string settings[] = {
      host + "\r\nX-Injected: 1",
      host + "\nX-Injected: 1",
      host + std::string("\0", 1),
  };
  for (const std::string& setting : settings) {
    test_.App().Settings().ProxyServer.Set(setting);
    // An https:// address sends the proxy setting nowhere, but a setting like these is no
    // proxy address either.
    for (const char* scheme : {"http://", "https://"}) {
      std::string page = "untouched";
      EXPECT_EQ(Get(scheme + std::string(kPairHost) + "/x", false, page), kBadUrlMessage);
      EXPECT_EQ(page, "untouched");
    }
  }
  EXPECT_EQ(proxy.Accepted(), 0);
}

TEST_F(HttpGetTest, HttpsAddressesTrustTheOfficesCaFileSetting) {
  CTempDir dir;
  const CTestCertificateAuthority authority("Larkspire Test Office CA");
  authority.WritePem(dir.File("office-ca.pem"));
  const TestServerIdentity identity = authority.Issue({});
  CTlsOrigin origin(identity);
  const std::string url = "https://localhost:" + std::to_string(origin.Port()) + "/x";
  std::string page;
  EXPECT_EQ(Get(url, true, page),
            "TLS: certificate of localhost not accepted (unknown issuer: unable to get local "
            "issuer certificate).");
  test_.App().Settings().CaFile.Set(dir.File("office-ca.pem"));
  EXPECT_EQ(Get(url, true, page), "");
  EXPECT_EQ(page, CTlsOrigin::kBody);
  test_.App().Settings().CaFile.Set(dir.File("missing.pem"));
  EXPECT_EQ(Get(url, true, page).rfind("TLS: CA file " + dir.File("missing.pem"), 0), 0u);
  EXPECT_EQ(origin.Requests().size(), 1u);
}

TEST_F(HttpGetTest, StatusLineChecks) {
  const struct {
    std::string response;
    std::string error;
  } cases[] = {
      {"HTTP/1.1 404 Not Found\r\n\r\nmissing", "HttpGet: HTTP Get Failed. (404 Not Found)"},
      {"HTTP/1.0 200\r\n\r\nbody", "HttpGet: HTTP Get Failed. (200)"},
      {"HTTP/1.0 302 Found\r\nLocation: /elsewhere\r\n\r\n",
       "HttpGet: HTTP Get Failed. (302 Found)"},
      {"ICY 200 OK\r\n\r\nbody", "HttpGet: HTTP Get Failed. (200 OK)"},
      {"HTTP/1.0-500-Error\r\n\r\n", "HttpGet: HTTP Get Failed."},
      {"no status line at all", "HttpGet: HTTP Get Failed."},
      {"", "HttpGet: HTTP Get Failed."},
      {"HTTP/1.0 200 OK\r\nContent-Ty", "HttpGet: HTTP Get Failed."},
      {"HTTP/1.0 200 OK\r\n", "HttpGet: HTTP Get Failed."},
      {"http/1.0 200 OK\r\n\r\nlower case", ""},
      {"HTTP/1.0 200 OK\n\r\n\r\nbare LF status", ""},
      // Garbage: a NUL before the status, bytes of no text at all, a line that never ends.
      {std::string("\0HTTP/1.0 200 OK\r\n\r\nbody", 25), "HttpGet: HTTP Get Failed. (200 OK)"},
      {"\xff\xfe\x01 \x80\x81\r\n\r\n", "HttpGet: HTTP Get Failed. (\x80\x81)"},
      {"HTTP/1.0 200 OK" + std::string(100000, 'x'), "HttpGet: HTTP Get Failed."},
  };
  for (const auto& c : cases) {
    CHttpTestServer origin(CHttpTestServer::Reply(c.response));
    std::string page = "untouched";
    EXPECT_EQ(Get(Direct(origin, "/"), true, page), c.error) << c.response;
    if (!c.error.empty()) {
      EXPECT_EQ(page, "untouched");
      EXPECT_TRUE(test_.FlowHas("HttpGet(0): " + c.error)) << c.error;
    }
  }
}

TEST_F(HttpGetTest, LongStatusDetailIsCutTo254Characters) {
  const std::string reason(400, 'r');
  CHttpTestServer origin(CHttpTestServer::Reply("HTTP/1.0 500 " + reason + "\r\n\r\n"));
  std::string page;
  const std::string error = Get(Direct(origin, "/"), true, page);
  // The status line is examined up to 255 characters, the message cut to 254.
  const std::string full = "HttpGet: HTTP Get Failed. (" + ("500 " + reason).substr(0, 246) + ")";
  EXPECT_EQ(error, full.substr(0, 254));
}

TEST_F(HttpGetTest, ConnectionRefusedSuggestsStartingTheProxyClient) {
  test_.App().Settings().ProxyServer.Set("127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
  std::string page;
  EXPECT_EQ(Get(std::string("http://") + kPairHost + "/x", false, page),
            std::string(kRefusedMessage) + " You may need to start USPTO/Direct.");
}

TEST_F(HttpGetTest, FlowLogTellsTheWholeExchange) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("ok")));
  std::string page;
  ASSERT_EQ(Get(Direct(origin, "/x"), true, page), "");
  const std::string request = ExpectedGet("/x", origin.HostPort());
  std::vector<std::string> texts = test_.FlowTexts();
  // The response may arrive in more than one part.
  std::vector<std::string> parts;
  std::erase_if(texts, [&](const std::string& t) {
    if (t.rfind("HttpGet(0): Received part '", 0) != 0) return false;
    parts.push_back(t);
    return true;
  });
  const std::vector<std::string> expected = {
      "HttpGet(0): Connecting to 127.0.0.1 on port #" + std::to_string(origin.Port()) + " ...",
      "HttpGet(0): Connected",
      "HttpGet(0): Sending '" + EscapeFlowText(request) + "' ...",
      "HttpGet(0): Sent",
      "HttpGet(0): Receiving ...",
      "HttpGet(0): Received " + std::to_string(CHttpTestServer::Ok("ok").size()) + " bytes",
      "HttpGet(0): Shutdown...",
      "HttpGet(0): Closing...",
      "HttpGet(0): Closed",
  };
  EXPECT_EQ(texts, expected);
  EXPECT_FALSE(parts.empty());
}

TEST_F(HttpGetTest, SizeOnlyMaskLogsLengthsForItsUrlsOnly) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("abc")));
  std::vector<std::string> pages;
  ASSERT_EQ(FetchPages(test_.App(), {Direct(origin, "/0"), Direct(origin, "/1")}, 3, 2, pages), "");
  const std::string size = std::to_string(CHttpTestServer::Ok("abc").size());
  EXPECT_TRUE(test_.FlowHas("HttpGet(1): Received part '" + size + "'"));
  EXPECT_FALSE(test_.FlowHas("HttpGet(0): Received part '" + size + "'"));
  EXPECT_TRUE(test_.FlowContains("HttpGet(0): Received part 'HTTP/1.0 200 OK"));
}

TEST_F(HttpGetTest, LogsTheFirstUrlWithoutItsQuery) {
  CTempDir dir;
  test_.App().Settings().LogDir.Set(dir.Path());
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("")));
  std::vector<std::string> pages;
  ASSERT_EQ(FetchPages(test_.App(), {Direct(origin, "/page?secret=1"), Direct(origin, "/b")}, 3, 0,
                       pages),
            "");
  std::string log;
  ASSERT_TRUE(ReadWholeFile(JoinPath(dir.Path(), kLogFileName), log));
  EXPECT_NE(log.find("> Update '" + Direct(origin, "/page") + "'\r\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("secret"), std::string::npos);
}

TEST_F(HttpGetTest, ServerThatNeverAnswersTimesOutAndItsTaskEndsInTime) {
  test_.App().SetTimeoutMs(300);
  CHttpTestServer silent([](const std::string&, CTestConnection& c) { c.Stall(); });
  std::string page = "untouched";
  // A task that outlived the grace period would turn this into the stuck-threads text.
  EXPECT_EQ(Get(Direct(silent, "/"), true, page), "Operation timed out.");
  EXPECT_EQ(page, "untouched");
  EXPECT_TRUE(test_.Ui().messages.empty());
}

TEST_F(HttpGetTest, ConnectThatNeverCompletesTimesOutAndItsTaskEndsInTime) {
  test_.App().SetTimeoutMs(300);
  CUnansweredListener unanswered;
  test_.App().Settings().ProxyServer.Set(unanswered.HostPort());
  std::string page;
  EXPECT_EQ(Get(std::string("http://") + kPairHost + "/x", false, page), "Operation timed out.");
  EXPECT_FALSE(test_.FlowHas("HttpGet(0): Connected"));
}

TEST_F(HttpGetTest, WindowTimerTimeOutHasTheHttpGetPrefix) {
  test_.App().SetTimeoutMs(300);
  test_.UseWindowTimer();
  CHttpTestServer silent([](const std::string&, CTestConnection& c) { c.Stall(); });
  std::string page;
  EXPECT_EQ(Get(Direct(silent, "/"), true, page), "HttpGet: Operation timed out.");
  EXPECT_EQ(test_.App().AbortReason(), kAbortNone);
}

TEST_F(HttpGetTest, CancelReachesTheLiveConnection) {
  CHttpTestServer silent([](const std::string&, CTestConnection& c) { c.Stall(); });
  test_.Ui().on_pump = [&] {
    if (silent.Requests().size() == 1) test_.App().SetAbort(kAbortCanceled);
  };
  std::string page;
  EXPECT_EQ(Get(Direct(silent, "/"), true, page), "Operation canceled.");
  EXPECT_EQ(test_.App().AbortReason(), kAbortCanceled);
  EXPECT_TRUE(test_.FlowHas("HttpGet(0): Cancelling..."));
}

TEST_F(HttpGetTest, TimeOutIsReadFromTheSettingUnlessFixed) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("")));
  test_.App().SetTimeoutFixed(false);
  test_.App().Settings().Timeout.Set("10 seconds");
  std::string page;
  EXPECT_EQ(Get(Direct(origin, "/"), true, page), "");
  EXPECT_EQ(test_.App().TimeoutMs(), kMinimumTimeoutMs);
  EXPECT_EQ(test_.Ui().busy_ranges, std::vector<int>{30});
}

TEST_F(HttpGetTest, TaskWithCredentialsSendsBasicAuthorizationAfterHost) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("secret page")));
  CHttpGetTask task;
  task.url = Direct(origin, "/private");
  task.credentials = "user:pw";
  task.label = "T: ";
  EXPECT_EQ(RunTask(task), "secret page");
  const std::string request = origin.Requests().at(0);
  EXPECT_NE(request.find("\r\nUser-Agent: HttpGet\r\nHost: " + origin.HostPort() +
                         "\r\nAuthorization: Basic dXNlcjpwdw==\r\n\r\n"),
            std::string::npos)
      << request;
}

// Misbehaving servers: the client returns the body or the right error, and never hangs past
// the time-out and the grace period.
TEST_F(HttpGetTest, TenMegabyteBodyArrivesWhole) {
  std::string body(10 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('A' + i % 61);
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok(body)));
  test_.App().SetTimeoutMs(60000);
  std::vector<std::string> pages;
  ASSERT_EQ(FetchPages(test_.App(), {Direct(origin, "/big")}, 1, 1, pages), "");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(pages[0] == body);
}

// A server that sends without end must not take all memory: past its cap the fetch fails
// with the cap's text. A program download has a larger cap than a page.
TEST_F(HttpGetTest, BodiesPastTheirCapFailWithTheCapsText) {
  constexpr std::size_t kMiB = 1024 * 1024;
  const struct {
    std::size_t body;  // 0: the server streams until the client goes
    CReceiveCap cap;
    std::string error;
  } cases[] = {
      {16 * kMiB, kPageCap, ""},
      {16 * kMiB + 1, kPageCap, "HttpGet: The page is larger than 16 MB."},
      {0, kPageCap, "HttpGet: The page is larger than 16 MB."},
      {20 * kMiB, kDownloadCap, ""},
      {0, kDownloadCap, "HttpGet: The download is larger than 64 MB."},
  };
  test_.App().SetTimeoutMs(60000);
  for (const auto& c : cases) {
    CHttpTestServer origin([&](const std::string&, CTestConnection& connection) {
      if (c.body != 0) {
        connection.Write(CHttpTestServer::Ok(std::string(c.body, 'p')));
        return;
      }
      connection.Write(CHttpTestServer::Ok(""));
      const std::string chunk(65536, 's');
      while (!connection.Stopping() && connection.Write(chunk)) {
      }
    });
    std::string page = "untouched";
    EXPECT_EQ(FetchPage(test_.App(), Direct(origin, "/big"), true, true, page, c.cap), c.error)
        << c.body;
    if (c.error.empty()) {
      EXPECT_EQ(page.size(), c.body);
    } else {
      EXPECT_EQ(page, "untouched");
      EXPECT_TRUE(test_.FlowHas("HttpGet(0): " + c.error));
    }
  }
}

// Tabs and other control bytes in an address must not reach the request line as they are.
TEST_F(HttpGetTest, ControlBytesInPathAndQueryArePercentEncoded) {
  CHttpTestServer origin(CHttpTestServer::Reply(CHttpTestServer::Ok("")));
  std::string page;
  EXPECT_EQ(Get(Direct(origin, "/a\tb c?x=\x01\x7f\x1f&y=\x80%41"), true, page), "");
  EXPECT_EQ(Get(Direct(origin, "/form??a=\tb c"), true, page), "");
  const std::vector<std::string> requests = origin.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(CHttpTestServer::RequestLine(requests[0]),
            "GET /a%09b%20c?x=%01%7F%1F&y=\x80%41 HTTP/1.0");
  // Form data is the body, not the request line: it goes as it is.
  EXPECT_EQ(CHttpTestServer::RequestLine(requests[1]), "POST /form HTTP/1.0");
  EXPECT_TRUE(requests[1].ends_with("\r\n\r\na=\tb c"));
}

TEST_F(HttpGetTest, BracketedIpv6ProxyAndOriginAreReached) {
  CHttpTestServer server(CHttpTestServer::Reply(CHttpTestServer::Ok("over six")), AF_INET6);
  ASSERT_EQ(server.HostPort(), "[::1]:" + std::to_string(server.Port()));
  test_.App().Settings().ProxyServer.Set(server.HostPort());
  std::string page;
  EXPECT_EQ(Get(std::string("http://") + kPairHost + "/x", false, page), "");
  EXPECT_EQ(page, "over six");
  EXPECT_EQ(Get(Direct(server, "/y"), true, page), "");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], ExpectedGet(std::string("//") + kPairHost + "/x", server.HostPort()));
  EXPECT_EQ(requests[1], ExpectedGet("/y", server.HostPort()));
}

TEST_F(HttpGetTest, TrickledResponseArrivesWholeWithinTheTimeOut) {
  const std::string response = CHttpTestServer::Ok("slow body");
  CHttpTestServer origin([&](const std::string&, CTestConnection& c) {
    for (char byte : response) {
      if (c.Stopping() || !c.Write(std::string(1, byte))) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
  });
  std::string page;
  EXPECT_EQ(Get(Direct(origin, "/"), true, page), "");
  EXPECT_EQ(page, "slow body");
}

TEST_F(HttpGetTest, TrickleLongerThanTheTimeOutTimesOut) {
  test_.App().SetTimeoutMs(400);
  CHttpTestServer origin([](const std::string&, CTestConnection& c) {
    for (int i = 0; i < 1000 && !c.Stopping(); ++i) {
      if (!c.Write("x")) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
  });
  std::string page = "untouched";
  EXPECT_EQ(Get(Direct(origin, "/"), true, page), "Operation timed out.");
  EXPECT_EQ(page, "untouched");
}

TEST_F(HttpGetTest, ResetInTheMiddleOfTheBodyIsADisconnection) {
  CHttpTestServer origin([](const std::string&, CTestConnection& c) {
    c.Write(CHttpTestServer::Ok(std::string(1000, 'b')));
    c.Reset();
  });
  std::string page = "untouched";
  const std::string error = Get(Direct(origin, "/"), true, page);
  // Either the reset is seen, or the data arrived before it and the body is complete.
  if (error.empty()) {
    EXPECT_EQ(page, std::string(1000, 'b'));
  } else {
    EXPECT_EQ(error, kDisconnectedMessage);
    EXPECT_EQ(page, "untouched");
  }
}

}  // namespace
}  // namespace larkspire
