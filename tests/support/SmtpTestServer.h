// A loopback SMTP server for tests, answering like a plain server that offers AUTH LOGIN. It
// keeps every command line and the message data; a per-test script can take over any line
// (to reject it, split a reply, or stay silent).
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/TestServer.h"

namespace larkspire {

class CSmtpTestServer {
 public:
  // Called for the greeting (with an empty line) and for every command line (without CR LF)
  // before the standard answer; returns true when it has answered itself.
  using Script = std::function<bool(const std::string& line, CTestConnection&)>;

  explicit CSmtpTestServer(Script script = nullptr)
      : script_(std::move(script)), server_([this](CTestConnection& c) { Serve(c); }) {}

  std::string HostPort() const { return server_.HostPort(); }
  int Port() const { return server_.Port(); }
  int Accepted() const { return server_.Accepted(); }
  // Waits for the end of the given number of sessions.
  bool WaitForSessions(int count) { return server_.WaitForFinished(count); }

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  // The DATA bytes up to, not including, the final "\r\n.\r\n".
  std::string Data() {
    std::lock_guard<std::mutex> lock(mutex_);
    return data_;
  }

 private:
  void Serve(CTestConnection& c) {
    if (!(script_ && script_("", c))) c.Write("220 test.example ESMTP ready\r\n");
    int auth_step = 0;
    while (std::optional<std::string> read = c.ReadUntil("\r\n")) {
      const std::string line = read->substr(0, read->size() - 2);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
      }
      if (script_ && script_(line, c)) continue;
      if (auth_step == 1) {
        auth_step = 2;
        c.Write("334 UGFzc3dvcmQ6\r\n");
      } else if (auth_step == 2) {
        auth_step = 0;
        c.Write("235 2.7.0 Authentication successful\r\n");
      } else if (line.rfind("EHLO", 0) == 0) {
        c.Write("250-test.example\r\n250-8BITMIME\r\n250 AUTH LOGIN\r\n");
      } else if (line.rfind("AUTH LOGIN", 0) == 0) {
        auth_step = 1;
        c.Write("334 VXNlcm5hbWU6\r\n");
      } else if (line == "DATA") {
        c.Write("354 End data with <CR><LF>.<CR><LF>\r\n");
        std::optional<std::string> data = c.ReadUntil("\r\n.\r\n");
        if (!data) return;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          data_ = data->substr(0, data->size() - 5);
        }
        c.Write("250 2.0.0 Ok: queued\r\n");
      } else if (line == "QUIT") {
        c.Write("221 2.0.0 Bye\r\n");
        return;
      } else {
        c.Write("250 2.1.0 Ok\r\n");  // HELO, MAIL, RCPT
      }
    }
  }

  Script script_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::string data_;
  CTestServer server_;  // last: its threads stop before the members above go
};

}  // namespace larkspire
