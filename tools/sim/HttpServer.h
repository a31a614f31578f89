// The listening socket and one thread per connection: reads an HTTP/1.0 request (proxy form
// "GET //host/path", or a direct "GET /path" with a Host header), answers it from the site,
// misbehaving when a fault says so, and closes.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "Site.h"

namespace larkspire::sim {

class CHttpServer {
 public:
  explicit CHttpServer(CSite& site) : site_(site) {}
  ~CHttpServer();
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  // Binds 127.0.0.1:port (0 picks a free port); returns "" or the reason it failed.
  std::string Listen(int port);
  int Port() const { return port_; }
  // Serves until `stop_fd` becomes readable, then waits for every connection to end.
  void Serve(int stop_fd);

 private:
  struct CConnection {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  void HandleConnection(int fd);
  void ReapConnections(bool all);

  CSite& site_;
  int listen_fd_ = -1;
  int port_ = 0;
  int stop_fd_ = -1;
  std::list<std::unique_ptr<CConnection>> connections_;
};

}  // namespace larkspire::sim
