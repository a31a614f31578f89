// The listening sockets and one thread per connection. The status site's port reads an
// HTTP/1.0 request (proxy form "GET //host/path", or a direct "GET /path" with a Host header)
// and answers it from the site or a control request; the Open Data Portal's port does the same
// over TLS for the service. Either misbehaves when a fault says so, and closes after one answer.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "Connection.h"
#include "Faults.h"
#include "Site.h"

namespace larkspire::sim {

class COdpService;

class CHttpServer {
 public:
  // `odp` and `odp_tls` may be null when the Open Data Portal is not served.
  CHttpServer(CSite& site, COdpService* odp, SSL_CTX* odp_tls)
      : site_(site), odp_(odp), odp_tls_(odp_tls) {}
  ~CHttpServer();
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  // Bind 127.0.0.1:port (0 picks a free port); return "" or the reason it failed.
  std::string Listen(int port);
  std::string ListenOdp(int port);
  int Port() const { return port_; }
  int OdpPort() const { return odp_port_; }
  // Serves until `stop_fd` becomes readable, then waits for every connection to end.
  void Serve(int stop_fd);

 private:
  struct CWorker {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void HandleConnection(int fd, bool odp);
  void AnswerSite(CConnection& connection, const std::string& request_line,
                  const CRequest& request);
  void AnswerOdp(CConnection& connection, const std::string& request_line, const CRequest& request);
  // Sends the answer, or misbehaves as the fault says.
  void Deliver(CConnection& connection, const std::string& log_line, CResponse response,
               const std::optional<CFault>& fault);
  void ReapWorkers(bool all);

  CSite& site_;
  COdpService* odp_;
  SSL_CTX* odp_tls_;
  int listen_fd_ = -1;
  int odp_listen_fd_ = -1;
  int port_ = 0;
  int odp_port_ = 0;
  int stop_fd_ = -1;
  std::list<std::unique_ptr<CWorker>> workers_;
};

}  // namespace larkspire::sim
