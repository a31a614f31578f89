// A loopback HTTP/1.0 server for tests: it reads one request per connection (headers and a
// Content-Length body), keeps it, and lets the test's responder answer. Used both as an
// origin server and as a stand-in for the local proxy (which is asked for "//host/path").
#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TestServer.h"

namespace larkspire {

class CHttpTestServer {
 public:
  // Gets the whole request as received and writes the answer; the connection is closed when
  // it returns.
  using Responder = std::function<void(const std::string& request, CTestConnection&)>;

  explicit CHttpTestServer(Responder responder, int family = AF_INET)
      : responder_(std::move(responder)),
        server_([this](CTestConnection& c) { Serve(c); }, family) {}

  // A responder that writes fixed bytes.
  static Responder Reply(std::string bytes) {
    return [bytes](const std::string&, CTestConnection& c) { c.Write(bytes); };
  }
  static std::string Ok(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
  }
  // A responder that serves each path's body (the path ends where the request line has its
  // next blank) and answers anything else with 404, as the publisher's web server would.
  static Responder Files(std::map<std::string, std::string> files) {
    return [files](const std::string& request, CTestConnection& c) {
      const std::string line = RequestLine(request);
      for (const auto& [path, body] : files) {
        if (line.find(path + " ") != std::string::npos) {
          c.Write(Ok(body));
          return;
        }
      }
      c.Write("HTTP/1.0 404 Not Found\r\n\r\n");
    };
  }

  int Port() const { return server_.Port(); }
  std::string HostPort() const { return server_.HostPort(); }
  int Accepted() const { return server_.Accepted(); }
  CTestServer& Server() { return server_; }

  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  // The first line of a request.
  static std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
  }

 private:
  void Serve(CTestConnection& connection) {
    std::optional<std::string> head = connection.ReadUntil("\r\n\r\n");
    if (!head) return;
    std::string request = *head;
    const std::size_t length_at = request.find("Content-Length: ");
    if (length_at != std::string::npos) {
      const std::size_t length = std::strtoul(request.c_str() + length_at + 16, nullptr, 10);
      if (std::optional<std::string> body = connection.ReadExactly(length)) request += *body;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    responder_(request, connection);
  }

  Responder responder_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
  CTestServer server_;  // last: its threads stop before the members above go
};

}  // namespace larkspire
