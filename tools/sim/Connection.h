// One accepted connection on a non-blocking socket, plain or TLS (OpenSSL's server side). Every
// wait on it also ends when the server's stop descriptor becomes readable.
#pragma once

#include <openssl/ssl.h>

#include <string>
#include <string_view>

namespace larkspire::sim {

enum class EWait { kReady, kStopped, kTimedOut };

// Waits until fd is ready for `events` or the stop descriptor becomes readable; a negative
// timeout waits for ever.
EWait WaitFor(int fd, short events, int stop_fd, int timeout_ms);

class CConnection {
 public:
  // Takes over the socket; `tls` null for a plain connection.
  CConnection(int fd, int stop_fd, SSL_CTX* tls);
  ~CConnection();
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // The TLS handshake (nothing to do for a plain connection); false and the reason when it
  // failed, took longer than the timeout or the server is stopping.
  bool Open(int timeout_ms, std::string& error);
  // Bytes read (more than 0), 0 at the end of the stream, -1 on an error, a timeout or a stop.
  long Read(char* buffer, size_t size, int timeout_ms);
  bool Write(std::string_view data, int timeout_ms);
  // Reads and discards until the client closes or the server stops.
  void DrainUntilClosed();
  // The orderly end: TLS close_notify, then the end of the stream.
  void Finish();
  // The abortive end: the socket is reset when it closes.
  void Reset();

 private:
  // After an OpenSSL call failed with `result`: waits for what it wants and returns true, or
  // returns false when the failure is final.
  bool WaitForTls(int result, int timeout_ms);

  int fd_;
  int stop_fd_;
  SSL* ssl_ = nullptr;
};

}  // namespace larkspire::sim
