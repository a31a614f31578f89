// A loopback HTTPS server for tests of keyed web-service requests: a certificate for
// "localhost" from a test CA made at test time (written as a PEM file for the client to
// trust), one request per connection (headers and a Content-Length body), kept for the test to
// look at, and answered by the test's responder; the server closes after each answer.
#pragma once

#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/TestServer.h"
#include "support/TlsTestSupport.h"

namespace larkspire {

class CHttpsTestServer {
 public:
  // Gets the whole request (head and body) and returns the whole response.
  using Responder = std::function<std::string(const std::string& request)>;

  explicit CHttpsTestServer(Responder responder)
      : responder_(std::move(responder)), server_([this](CTestConnection& c) { Serve(c); }) {
    authority_.WritePem(ca_file_);
  }

  // An HTTP/1.1 response with a Content-Length body and the extra header lines given.
  static std::string Answer(int status, const std::string& reason, const std::string& body,
                            const std::string& headers = "") {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: application/json\r\nConnection: close\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  }

  const std::string& CaFile() const { return ca_file_; }
  // "localhost:PORT", the host the certificate names.
  std::string HostPort() const { return "localhost:" + std::to_string(server_.Port()); }
  std::string Url(const std::string& target) const { return "https://" + HostPort() + target; }

  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Serve(CTestConnection& connection) {
    CTestTlsSession tls(connection, identity_);
    if (!tls.Accepted()) return;
    std::optional<std::string> head = tls.ReadUntil("\r\n\r\n");
    if (!head) return;
    std::string request = *head;
    const std::size_t length_at = request.find("Content-Length: ");
    if (length_at != std::string::npos) {
      const std::size_t length = std::strtoul(request.c_str() + length_at + 16, nullptr, 10);
      if (std::optional<std::string> body = tls.ReadExactly(length)) request += *body;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    tls.Write(responder_(request));
    tls.SendCloseNotice();
  }

  CTempDir dir_;
  const std::string ca_file_ = dir_.File("test-ca.pem");
  const CTestCertificateAuthority authority_{"Larkspire Test Service CA"};
  const TestServerIdentity identity_ = authority_.Issue({});
  Responder responder_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  CTestServer server_;  // last: its threads stop before the members above go
};

}  // namespace larkspire
