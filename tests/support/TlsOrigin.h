// A web server on loopback that speaks only TLS, for tests of https:// addresses.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/TestServer.h"
#include "support/TlsTestSupport.h"

namespace larkspire {

// A web server on loopback that speaks only TLS, with the given certificate (which must outlive
// it): it keeps the requests that arrive inside TLS and answers each with kBody.
class CTlsOrigin {
 public:
  static constexpr const char* kBody = "version: 4.2.05.000\r\n rules over TLS\r\n";

  explicit CTlsOrigin(const TestServerIdentity& identity)
      : server_([this, &identity](CTestConnection& c) { Serve(c, identity); }) {}

  int Port() const { return server_.Port(); }
  int Accepted() const { return server_.Accepted(); }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Serve(CTestConnection& c, const TestServerIdentity& identity) {
    CTestTlsSession tls(c, identity);
    if (!tls.Accepted()) return;
    std::optional<std::string> request = tls.ReadUntil("\r\n\r\n");
    if (!request) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(*request);
    }
    tls.Write(std::string("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n") + kBody);
    tls.SendCloseNotice();
  }

  std::mutex mutex_;
  std::vector<std::string> requests_;
  CTestServer server_;  // last: its threads stop before the members above go
};

}  // namespace larkspire
