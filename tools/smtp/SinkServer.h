// The benchmark sink's listener on 127.0.0.1: a thread per accepted session, until stopped.
#pragma once

#include <openssl/ssl.h>

#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace larkspire::bench_sink {

class CMailStore;

class CSinkServer {
 public:
  // `tls` null when the sink offers no STARTTLS.
  CSinkServer(CMailStore& store, SSL_CTX* tls) : store_(store), tls_(tls) {}
  ~CSinkServer();
  CSinkServer(const CSinkServer&) = delete;
  CSinkServer& operator=(const CSinkServer&) = delete;

  // Returns "" or why it cannot listen; port 0 picks a free one.
  std::string Listen(int port);
  int Port() const { return port_; }
  // Accepts sessions until stop_fd becomes readable; then shuts down the sessions still open
  // (one may wait for ever on a silent client) and waits for their threads.
  void Serve(int stop_fd);

 private:
  struct CSession {
    std::thread thread;
    int fd;  // -1 once the session has closed it
  };

  void StartSession(int fd);
  void JoinEndedSessions();
  void EndSessions();

  CMailStore& store_;
  SSL_CTX* tls_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::mutex mutex_;  // guards each session's fd
  std::list<CSession> sessions_;
};

}  // namespace larkspire::bench_sink
