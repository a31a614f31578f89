#include "HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "OdpService.h"
#include "Pages.h"
#include "ServerBasics.h"
#include "SimDate.h"

namespace larkspire::sim {
namespace {

constexpr int kRequestTimeoutMs = 10000;
constexpr int kTrickleDelayMs = 40;
constexpr size_t kMaxRequestBytes = 1 << 20;

void ReadHeaders(std::string_view head, CQuery& headers) {
  size_t line_start = head.find('\n');
  while (line_start != std::string_view::npos && line_start + 1 < head.size()) {
    ++line_start;
    size_t line_end = head.find('\n', line_start);
    std::string_view line = head.substr(line_start, line_end - line_start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    line_start = line_end;
  }
}

// Reads the request head and any body. Returns false when the client went away, took too long,
// sent something that is not HTTP, or the server is stopping.
bool ReadRequest(CConnection& connection, std::string& request_line, CRequest& request) {
  std::string buffer;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestTimeoutMs);
  size_t head_end = std::string::npos;
  size_t body_start = 0;
  size_t content_length = 0;
  char chunk[4096];
  while (true) {
    if (head_end == std::string::npos) {
      size_t crlf = buffer.find("\r\n\r\n");
      size_t lf = buffer.find("\n\n");
      if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
        head_end = crlf;
        body_start = crlf + 4;
      } else if (lf != std::string::npos) {
        head_end = lf;
        body_start = lf + 2;
      }
      if (head_end != std::string::npos) {
        ReadHeaders(std::string_view(buffer).substr(0, head_end), request.headers);
        content_length =
            std::strtoul(QueryValue(request.headers, "Content-Length").c_str(), nullptr, 10);
        // Clients that ask before sending a body get the go-ahead at once.
        if (strcasecmp(QueryValue(request.headers, "Expect").c_str(), "100-continue") == 0 &&
            buffer.size() < body_start + content_length &&
            !connection.Write("HTTP/1.1 100 Continue\r\n\r\n", kRequestTimeoutMs)) {
          return false;
        }
      }
    }
    if (head_end != std::string::npos && buffer.size() >= body_start + content_length) break;
    if (buffer.size() > kMaxRequestBytes) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const long got = connection.Read(chunk, sizeof chunk, static_cast<int>(left.count()));
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(got));
  }

  const std::string_view head = std::string_view(buffer).substr(0, head_end);
  request_line = std::string(head.substr(0, head.find_first_of("\r\n")));
  const size_t first_space = request_line.find(' ');
  const size_t second_space = request_line.find(' ', first_space + 1);
  if (first_space == std::string::npos || second_space == std::string::npos) return false;
  request.method = request_line.substr(0, first_space);
  std::string target = request_line.substr(first_space + 1, second_space - first_space - 1);
  if (strncasecmp(target.c_str(), "http://", 7) == 0) target = target.substr(5);  // "//host/..."
  if (target.rfind("//", 0) == 0) {
    const size_t slash = target.find('/', 2);
    request.host = target.substr(2, slash == std::string::npos ? slash : slash - 2);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  } else {
    request.host = QueryValue(request.headers, "Host");
  }
  const size_t question = target.find('?');
  request.path = target.substr(0, question);
  if (question != std::string::npos) ParseQuery(target.substr(question + 1), request.params);
  request.body = buffer.substr(body_start, content_length);
  const std::string content_type = QueryValue(request.headers, "Content-Type");
  if (request.method == "POST" && content_type.find("json") == std::string::npos) {
    ParseQuery(request.body, request.params);
  }
  return true;
}

std::string ResponseHead(const CResponse& response, int day) {
  std::string head = response.protocol + " " + std::to_string(response.status) + " " +
                     ReasonPhrase(response.status) + "\r\nDate: " + FormatHttpDate(day) + "\r\n";
  if (!response.server.empty()) head += "Server: " + response.server + "\r\n";
  head += "Content-Type: " + response.content_type +
          "\r\nContent-Length: " + std::to_string(response.body.size()) + "\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  return head + "Connection: close\r\n\r\n";
}

// The status site's own error page for a fault's error status.
void MakeHtmlError(const CFault& fault, CResponse& response) {
  const std::string reason = ReasonPhrase(fault.status);
  response.status = fault.status;
  response.content_type = "text/html";
  response.body = "<HTML><HEAD><TITLE>" + std::to_string(fault.status) + " " + reason +
                  "</TITLE></HEAD><BODY>\n<H1>" + reason + "</H1>\n" +
                  (fault.status == 500 ? "The server encountered an internal error."
                                       : "The server cannot answer the request now.") +
                  "<P>\n</BODY></HTML>\n";
  if ((fault.status == 429 || fault.status == 503) && fault.retry_after >= 0) {
    response.headers.emplace_back("Retry-After", std::to_string(fault.retry_after));
  }
}

void Trickle(CConnection& connection, std::string_view data, int stop_fd) {
  for (const char byte : data) {
    if (!connection.Write(std::string_view(&byte, 1), kRequestTimeoutMs)) return;
    if (WaitFor(stop_fd, POLLIN, stop_fd, kTrickleDelayMs) != EWait::kTimedOut) return;
  }
}

}  // namespace

CHttpServer::~CHttpServer() {
  if (listen_fd_ >= 0) close(listen_fd_);
  if (odp_listen_fd_ >= 0) close(odp_listen_fd_);
}

std::string CHttpServer::Listen(int port) {
  std::string error;
  listen_fd_ = ListenOnLoopback(port, 0, port_, error);
  return error;
}

std::string CHttpServer::ListenOdp(int port) {
  std::string error;
  odp_listen_fd_ = ListenOnLoopback(port, 0, odp_port_, error);
  return error;
}

void CHttpServer::Serve(int stop_fd) {
  stop_fd_ = stop_fd;
  while (true) {
    pollfd fds[3] = {{stop_fd, POLLIN, 0}, {listen_fd_, POLLIN, 0}, {odp_listen_fd_, POLLIN, 0}};
    const int ready = poll(fds, odp_listen_fd_ >= 0 ? 3 : 2, 1000);
    ReapWorkers(false);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents) break;
    for (int i = 1; i <= 2 && ready > 0; ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      const int fd = accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      auto worker = std::make_unique<CWorker>();
      CWorker* raw = worker.get();
      workers_.push_back(std::move(worker));
      const bool odp = i == 2;
      raw->thread = std::thread([this, fd, odp, raw] {
        HandleConnection(fd, odp);
        raw->done = true;
      });
    }
  }
  close(listen_fd_);
  listen_fd_ = -1;
  if (odp_listen_fd_ >= 0) close(odp_listen_fd_);
  odp_listen_fd_ = -1;
  if (odp_) odp_->Stop();
  ReapWorkers(true);
}

void CHttpServer::ReapWorkers(bool all) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (all || (*it)->done) {
      (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void CHttpServer::HandleConnection(int fd, bool odp) {
  CConnection connection(fd, stop_fd_, odp ? odp_tls_ : nullptr);
  std::string error;
  if (!connection.Open(kRequestTimeoutMs, error)) {
    std::fprintf(stderr, "larkspire-sim: odp %s\n", error.c_str());
    return;
  }
  std::string request_line;
  CRequest request;
  if (!ReadRequest(connection, request_line, request)) return;
  if (odp) {
    AnswerOdp(connection, request_line, request);
  } else {
    AnswerSite(connection, request_line, request);
  }
}

void CHttpServer::AnswerSite(CConnection& connection, const std::string& request_line,
                             const CRequest& request) {
  const bool odp_control = odp_ && (request.path == "/__sim/odp");
  CResponse response = odp_control ? odp_->Control(request) : site_.Answer(request);
  std::optional<CFault> fault;
  if (!response.kind.empty() && response.status == 200) {
    fault = site_.Faults().Take(response.kind, response.app);
  }
  if (fault && fault->mode == EFaultMode::kHttpError) MakeHtmlError(*fault, response);
  Deliver(connection, request_line, std::move(response), fault);
}

void CHttpServer::AnswerOdp(CConnection& connection, const std::string& request_line,
                            const CRequest& request) {
  COdpAnswer answer = odp_->Answer(request);
  Deliver(connection, "odp " + request_line, std::move(answer.response), answer.fault);
}

void CHttpServer::Deliver(CConnection& connection, const std::string& log_line, CResponse response,
                          const std::optional<CFault>& fault) {
  const std::string fault_note = fault ? " [fault " + DescribeFault(*fault) + "]" : "";
  if (fault && fault->mode == EFaultMode::kStall) {
    std::fprintf(stderr, "larkspire-sim: %s -> no answer%s\n", log_line.c_str(),
                 fault_note.c_str());
    connection.DrainUntilClosed();
    return;
  }
  if (fault && fault->mode == EFaultMode::kErrorPage) {
    response.body = ErrorPage(fault->error_page, site_.Data());
  }
  if (fault && fault->mode == EFaultMode::kTruncate) {
    response.body = TruncatePage(response.body, response.required);
  }
  std::fprintf(stderr, "larkspire-sim: %s -> %d %s%s\n", log_line.c_str(), response.status,
               response.note.c_str(), fault_note.c_str());
  const std::string bytes = ResponseHead(response, site_.Day()) + response.body;
  if (fault && fault->mode == EFaultMode::kClose) {
    const size_t head_size = bytes.size() - response.body.size();
    if (connection.Write(std::string_view(bytes).substr(0, head_size + response.body.size() / 2),
                         kRequestTimeoutMs)) {
      connection.Reset();
    }
  } else if (fault && fault->mode == EFaultMode::kTrickle) {
    Trickle(connection, bytes, stop_fd_);
  } else if (connection.Write(bytes, kRequestTimeoutMs)) {
    connection.Finish();
  }
}

}  // namespace larkspire::sim
