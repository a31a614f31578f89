// https:// addresses: TLS straight to the host, or through a CONNECT tunnel of the proxy (an
// in-process one that the test scripts, and Debian's tinyproxy), with the certificate checked
// against the host's name end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpGet.h"
#include "support/TempDir.h"
#include "support/TestServer.h"
#include "support/TestWaiter.h"
#include "support/TinyproxyProcess.h"
#include "support/TlsOrigin.h"
#include "support/TlsTestSupport.h"

namespace larkspire {
namespace {

std::string ExpectedGet(const std::string& path, const std::string& host) {
  return "GET " + path +
         " HTTP/1.0\r\nAccept: */*\r\nAccept-Language: en-us\r\nCache-Control: no-cache\r\n"
         "Pragma: no-cache\r\nUser-Agent: Larkspire\r\nHost: " +
         host + "\r\n\r\n";
}

// Passes bytes both ways between a proxy's client and 127.0.0.1:port until either side ends
// or the server stops: the tunnel a proxy opens after answering CONNECT.
void Relay(CTestConnection& client, int port) {
  const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(upstream, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::send(upstream, client.Unread().data(), client.Unread().size(), MSG_NOSIGNAL) >= 0) {
    pollfd ends[2] = {{client.Fd(), POLLIN, 0}, {upstream, POLLIN, 0}};
    for (bool open = true; open && !client.Stopping();) {
      if (::poll(ends, 2, 20) <= 0) continue;
      for (int from = 0; from < 2 && open; ++from) {
        if (ends[from].revents == 0) continue;
        char chunk[16384];
        const ssize_t n = ::recv(ends[from].fd, chunk, sizeof chunk, 0);
        open = n > 0 &&
               ::send(ends[1 - from].fd, chunk, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
      }
    }
  }
  ::close(upstream);
}

class HttpsTest : public ::testing::Test {
 protected:
  HttpsTest() { authority_.WritePem(ca_file_); }

  // One URL through the route; returns the error text and leaves the page in page_.
  std::string Get(const std::string& url, const CHttpRoute& route, bool direct) {
    page_.clear();
    return HttpGet(waiter_, route, url, direct, false, page_);
  }
  CHttpRoute Route(const std::string& proxy, const std::string& ca_file) {
    return {proxy, "Larkspire", kPageCap, ca_file};
  }
  static std::string Url(int port, const std::string& host = "localhost") {
    return "https://" + host + ":" + std::to_string(port) + "/support/larkspire.txt";
  }

  // The flow-log texts without their timestamps and line ends.
  std::vector<std::string> Flow() {
    for (FlowLine& line : waiter_.SharedFlowLog()->Drain()) flow_.push_back(line.text);
    std::vector<std::string> texts;
    for (const std::string& line : flow_) texts.push_back(line.substr(7, line.size() - 9));
    return texts;
  }
  // The position of the first flow-log text that begins with prefix; -1 when there is none.
  long FlowIndex(const std::string& prefix) {
    const std::vector<std::string> texts = Flow();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (texts[i].rfind(prefix, 0) == 0) return static_cast<long>(i);
    }
    return -1;
  }

  CTempDir dir_;
  const std::string ca_file_ = dir_.File("office-ca.pem");
  const CTestCertificateAuthority authority_{"Larkspire Test Office CA"};
  const TestServerIdentity localhost_ = authority_.Issue({});
  CTestWaiter waiter_;
  std::string page_;
  std::vector<std::string> flow_;
};

TEST_F(HttpsTest, ADirectFetchSendsTheRequestOnlyInsideTlsAndLogsItInClearText) {
  CTlsOrigin origin(localhost_);
  EXPECT_EQ(Get(Url(origin.Port()), Route("", ca_file_), true), "");
  EXPECT_EQ(page_, CTlsOrigin::kBody);
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0],
            ExpectedGet("/support/larkspire.txt", "localhost:" + std::to_string(origin.Port())));

  // The flow log marks where TLS began and shows the request after it as the plain dialogue.
  const long connected = FlowIndex("HttpGet(0): Connecting to 127.0.0.1 on port #");
  const long tls_start = FlowIndex("HttpGet(0): Starting TLS with localhost ...");
  const long tls_up = FlowIndex("HttpGet(0): TLS started (TLSv1.");
  const long request = FlowIndex("HttpGet(0): Sending 'GET /support/larkspire.txt HTTP/1.0");
  EXPECT_TRUE(connected >= 0 && connected < tls_start && tls_start < tls_up && tls_up < request)
      << connected << " " << tls_start << " " << tls_up << " " << request;
  EXPECT_GE(FlowIndex("HttpGet(0): Received part 'HTTP/1.0 200 OK"), 0);
}

TEST_F(HttpsTest, ACertificateTheProgramCannotTrustEndsTheFetchBeforeAnyRequest) {
  CertificateFields other_host;
  other_host.common_name = "www.other.example";
  other_host.alternative_names = "DNS:www.other.example";
  const CTestCertificateAuthority stranger("Someone Else's CA");
  const struct {
    const char* name;
    TestServerIdentity identity;
    std::string host;
    std::string ca_file;
    std::string refusal;
  } cases[] = {
      {"the office's CA not given", authority_.Issue({}), "localhost", "",
       "TLS: certificate of localhost not accepted (unknown issuer: unable to get local issuer "
       "certificate)."},
      {"issued by another CA", stranger.Issue({}), "localhost", ca_file_,
       "TLS: certificate of localhost not accepted (unknown issuer: unable to get local issuer "
       "certificate)."},
      {"issued for another host", authority_.Issue(other_host), "localhost", ca_file_,
       "TLS: certificate of localhost not accepted (wrong host name: the certificate is for "
       "www.other.example)."},
      {"an address the certificate does not name", authority_.Issue({}), "127.0.0.1", ca_file_,
       "TLS: certificate of 127.0.0.1 not accepted (wrong host name: the certificate is for "
       "localhost)."},
  };
  for (const auto& c : cases) {
    CTlsOrigin origin(c.identity);
    EXPECT_EQ(Get(Url(origin.Port(), c.host), Route("", c.ca_file), true), c.refusal) << c.name;
    EXPECT_EQ(page_, "") << c.name;
    EXPECT_TRUE(origin.Requests().empty()) << c.name;
    EXPECT_EQ(FlowIndex("HttpGet(0): Sending 'GET"), -1) << c.name;
  }
}

TEST_F(HttpsTest, ThroughTheProxyTheTunnelIsAskedForAndTheCertificateCheckedInsideIt) {
  std::string asked;
  CTlsOrigin origin(localhost_);
  // A proxy that reads the CONNECT request, answers 200 and then relays bytes both ways.
  CTestServer proxy([&](CTestConnection& client) {
    std::optional<std::string> request = client.ReadUntil("\r\n\r\n");
    if (!request) return;
    asked = *request;
    client.Write("HTTP/1.1 200 Connection established\r\nProxy-agent: test\r\n\r\n");
    Relay(client, origin.Port());
  });
  EXPECT_EQ(Get(Url(origin.Port()), Route(proxy.HostPort(), ca_file_), false), "");
  EXPECT_EQ(page_, CTlsOrigin::kBody);
  const std::string authority = "localhost:" + std::to_string(origin.Port());
  EXPECT_EQ(asked, "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority +
                       "\r\nUser-Agent: Larkspire\r\n\r\n");
  ASSERT_EQ(origin.Requests().size(), 1u);
  EXPECT_EQ(origin.Requests()[0], ExpectedGet("/support/larkspire.txt", authority));
  // The direct bit still sends an https:// address straight to its host.
  EXPECT_EQ(Get(Url(origin.Port()), Route(proxy.HostPort(), ca_file_), true), "");
  EXPECT_EQ(proxy.Accepted(), 1);
  EXPECT_EQ(origin.Requests().size(), 2u);
}

TEST_F(HttpsTest, AnIpv6LiteralIsTunnelledWithItsPortAndCheckedAsAnAddress) {
  CertificateFields loopback6;
  loopback6.alternative_names = "IP:::1";
  const TestServerIdentity identity = authority_.Issue(loopback6);
  CTlsOrigin origin(identity);
  std::string asked;
  // The proxy tunnels to the origin whatever port it is asked for.
  CTestServer proxy([&](CTestConnection& client) {
    std::optional<std::string> request = client.ReadUntil("\r\n\r\n");
    if (!request) return;
    asked = *request;
    client.Write("HTTP/1.1 200 Connection established\r\n\r\n");
    Relay(client, origin.Port());
  });
  const std::string with_port = "[::1]:" + std::to_string(origin.Port());
  const struct {
    std::string url;
    std::string authority;  // as CONNECT asks for it
    std::string host;       // as the request's Host header names it
  } cases[] = {
      {"https://" + with_port + "/x", with_port, with_port},
      {"https://[::1]/x", "[::1]:443", "[::1]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Get(c.url, Route(proxy.HostPort(), ca_file_), false), "") << c.url;
    EXPECT_EQ(page_, CTlsOrigin::kBody) << c.url;
    EXPECT_EQ(asked, "CONNECT " + c.authority + " HTTP/1.0\r\nHost: " + c.authority +
                         "\r\nUser-Agent: Larkspire\r\n\r\n");
    ASSERT_FALSE(origin.Requests().empty());
    EXPECT_EQ(origin.Requests().back(), ExpectedGet("/x", c.host));
  }
  EXPECT_GE(FlowIndex("HttpGet(0): Starting TLS with ::1 ..."), 0);
}

TEST_F(HttpsTest, AProxyThatOpensNoTunnelSaysSoAndNothingIsSentPastIt) {
  const struct {
    const char* name;
    std::string reply;  // what the proxy answers to CONNECT, then it closes
    std::string error;  // after "... to localhost:443"
  } cases[] = {
      {"refused", "HTTP/1.0 403 Access violation\r\nContent-Type: text/html\r\n\r\n<html>no</html>",
       " (403 Access violation)."},
      {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", " (no proper reply)."},
      {"bytes before TLS could start", "HTTP/1.0 200 OK\r\n\r\nextra", " (no proper reply)."},
  };
  for (const auto& c : cases) {
    int requests_after_connect = 0;
    CTestServer proxy([&](CTestConnection& client) {
      if (!client.ReadUntil("\r\n\r\n")) return;
      client.Write(c.reply);
      if (client.DataArrives(200)) ++requests_after_connect;
    });
    EXPECT_EQ(Get("https://localhost/x", Route(proxy.HostPort(), ca_file_), false),
              std::string(kNoTunnelMessage) + "localhost:443" + c.error)
        << c.name;
    ASSERT_TRUE(proxy.WaitForFinished(1));
    EXPECT_EQ(requests_after_connect, 0) << c.name;
  }
}

TEST_F(HttpsTest, AProxyThatNeverAnswersTimesOutLikeAnyFetch) {
  CTestServer proxy([](CTestConnection& client) { client.Stall(); });
  waiter_.SetTimeoutMs(300);
  waiter_.UseWindowTimer();
  EXPECT_EQ(Get("https://localhost/x", Route(proxy.HostPort(), ca_file_), false),
            "HttpGet: Operation timed out.");
  EXPECT_GE(FlowIndex("HttpGet(0): Sending 'CONNECT localhost:443 HTTP/1.0"), 0);
  EXPECT_EQ(FlowIndex("HttpGet(0): Starting TLS"), -1);
}

class TinyproxyTest : public HttpsTest {};

TEST_F(TinyproxyTest, TheCertificateIsCheckedEndToEndThroughARealProxysTunnel) {
  CertificateFields other_host;
  other_host.common_name = "www.other.example";
  other_host.alternative_names = "DNS:www.other.example";
  const TestServerIdentity other_identity = authority_.Issue(other_host);
  CTlsOrigin good(localhost_);
  CTlsOrigin impostor(other_identity);
  CTempDir proxy_dir;
  CTinyproxy tinyproxy(proxy_dir.Path(), {good.Port(), impostor.Port()});
  ASSERT_TRUE(tinyproxy.Started()) << kTinyproxyPath << " (scripts/install-deps.sh installs it)";
  const CHttpRoute route = Route(tinyproxy.HostPort(), ca_file_);

  EXPECT_EQ(Get(Url(good.Port()), route, false), "") << tinyproxy.Log();
  EXPECT_EQ(page_, CTlsOrigin::kBody);
  ASSERT_EQ(good.Requests().size(), 1u);
  EXPECT_EQ(good.Requests()[0],
            ExpectedGet("/support/larkspire.txt", "localhost:" + std::to_string(good.Port())));
  EXPECT_NE(tinyproxy.Log().find("CONNECT localhost:" + std::to_string(good.Port())),
            std::string::npos)
      << tinyproxy.Log();

  // Through the same tunnel, a server whose certificate names another host is refused: the
  // handshake reached it, the request never did.
  EXPECT_EQ(Get(Url(impostor.Port()), route, false),
            "TLS: certificate of localhost not accepted (wrong host name: the certificate is for "
            "www.other.example).");
  EXPECT_EQ(page_, "");
  EXPECT_EQ(impostor.Accepted(), 1);
  EXPECT_TRUE(impostor.Requests().empty());

  // A port the proxy does not tunnel to: the proxy's own refusal reaches the user.
  const int closed_port = UnusedLoopbackPort();
  EXPECT_EQ(Get(Url(closed_port), route, false), std::string(kNoTunnelMessage) +
                                                     "localhost:" + std::to_string(closed_port) +
                                                     " (403 Access violation).");
}

}  // namespace
}  // namespace larkspire
