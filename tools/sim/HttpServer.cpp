#include "HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "Pages.h"
#include "SimDate.h"

namespace larkspire::sim {
namespace {

constexpr int kRequestTimeoutMs = 10000;
constexpr int kTrickleDelayMs = 40;
constexpr size_t kMaxRequestBytes = 1 << 20;

enum class EWait { kReady, kStopped, kTimedOut };

// Waits until fd is ready for `events` or the stop descriptor becomes readable.
EWait WaitFor(int fd, short events, int stop_fd, int timeout_ms) {
  pollfd fds[2] = {{fd, events, 0}, {stop_fd, POLLIN, 0}};
  while (true) {
    const int n = poll(fds, 2, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return EWait::kTimedOut;
    if (fds[1].revents) return EWait::kStopped;
    return EWait::kReady;
  }
}

bool SendAll(int fd, std::string_view data, int stop_fd) {
  while (!data.empty()) {
    if (WaitFor(fd, POLLOUT, stop_fd, kRequestTimeoutMs) != EWait::kReady) return false;
    const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

std::string HeaderValue(std::string_view headers, std::string_view name) {
  size_t line_start = 0;
  while (line_start < headers.size()) {
    size_t line_end = headers.find('\n', line_start);
    if (line_end == std::string_view::npos) line_end = headers.size();
    std::string_view line = headers.substr(line_start, line_end - line_start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > name.size() && line[name.size()] == ':' &&
        strncasecmp(line.data(), name.data(), name.size()) == 0) {
      std::string_view value = line.substr(name.size() + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    line_start = line_end + 1;
  }
  return "";
}

// Reads the request head and any form body. Returns false when the client went away, took too
// long, sent something that is not HTTP, or the server is stopping.
bool ReadRequest(int fd, int stop_fd, std::string& request_line, CRequest& request) {
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
        content_length = std::strtoul(
            HeaderValue(std::string_view(buffer).substr(0, head_end), "Content-Length").c_str(),
            nullptr, 10);
      }
    }
    if (head_end != std::string::npos && buffer.size() >= body_start + content_length) break;
    if (buffer.size() > kMaxRequestBytes) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (WaitFor(fd, POLLIN, stop_fd, static_cast<int>(left.count())) != EWait::kReady) {
      return false;
    }
    const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
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
    request.host = HeaderValue(head, "Host");
  }
  const size_t question = target.find('?');
  request.path = target.substr(0, question);
  if (question != std::string::npos) ParseQuery(target.substr(question + 1), request.params);
  if (request.method == "POST") {
    ParseQuery(std::string_view(buffer).substr(body_start, content_length), request.params);
  }
  return true;
}

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    default:
      return "Internal Server Error";
  }
}

std::string ResponseHead(int status, const std::string& content_type, size_t length, int day) {
  return "HTTP/1.0 " + std::to_string(status) + " " + Reason(status) +
         "\r\nDate: " + FormatHttpDate(day) +
         "\r\nServer: Apache/1.3.33 (Unix)\r\nContent-Type: " + content_type +
         "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

// Holds the connection open without answering until the client gives up or the server stops.
void Stall(int fd, int stop_fd) {
  char sink[512];
  while (WaitFor(fd, POLLIN, stop_fd, -1) == EWait::kReady) {
    const ssize_t got = recv(fd, sink, sizeof sink, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return;
  }
}

void Trickle(int fd, std::string_view data, int stop_fd) {
  for (char byte : data) {
    if (!SendAll(fd, std::string_view(&byte, 1), stop_fd)) return;
    if (WaitFor(stop_fd, POLLIN, stop_fd, kTrickleDelayMs) != EWait::kTimedOut) return;
  }
}

void ResetConnection(int fd) {
  linger hard{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

}  // namespace

CHttpServer::~CHttpServer() {
  if (listen_fd_ >= 0) close(listen_fd_);
}

std::string CHttpServer::Listen(int port) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return std::string("socket: ") + std::strerror(errno);
  const int yes = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    return "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
  }
  if (listen(listen_fd_, 64) != 0) return std::string("listen: ") + std::strerror(errno);
  socklen_t length = sizeof address;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return "";
}

void CHttpServer::Serve(int stop_fd) {
  stop_fd_ = stop_fd;
  while (true) {
    const EWait wait = WaitFor(listen_fd_, POLLIN, stop_fd, 1000);
    ReapConnections(false);
    if (wait == EWait::kStopped) break;
    if (wait != EWait::kReady) continue;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    auto connection = std::make_unique<CConnection>();
    CConnection* raw = connection.get();
    connections_.push_back(std::move(connection));
    raw->thread = std::thread([this, fd, raw] {
      HandleConnection(fd);
      raw->done = true;
    });
  }
  close(listen_fd_);
  listen_fd_ = -1;
  ReapConnections(true);
}

void CHttpServer::ReapConnections(bool all) {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (all || (*it)->done) {
      (*it)->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void CHttpServer::HandleConnection(int fd) {
  std::string request_line;
  CRequest request;
  if (!ReadRequest(fd, stop_fd_, request_line, request)) {
    close(fd);
    return;
  }
  CResponse response = site_.Answer(request);
  std::optional<CFault> fault;
  if (!response.kind.empty() && response.status == 200) {
    fault = site_.Faults().Take(response.kind, response.app);
  }
  const int day = site_.Day();
  if (fault && fault->mode == EFaultMode::kStall) {
    std::fprintf(stderr, "larkspire-sim: %s -> no answer [fault %s]\n", request_line.c_str(),
                 DescribeFault(*fault).c_str());
    Stall(fd, stop_fd_);
    close(fd);
    return;
  }
  if (fault && fault->mode == EFaultMode::kError500) {
    response.status = 500;
    response.content_type = "text/html";
    response.body =
        "<HTML><HEAD><TITLE>500 Internal Server Error</TITLE></HEAD><BODY>\n"
        "<H1>Internal Server Error</H1>\nThe server encountered an internal error.<P>\n"
        "</BODY></HTML>\n";
  }
  if (fault && fault->mode == EFaultMode::kErrorPage) {
    response.body = ErrorPage(fault->error_page, site_.Data());
  }
  if (fault && fault->mode == EFaultMode::kTruncate) {
    response.body = TruncatePage(response.body, response.required);
  }
  std::fprintf(stderr, "larkspire-sim: %s -> %d %s%s%s\n", request_line.c_str(), response.status,
               response.note.c_str(), fault ? " [fault " : "",
               fault ? (DescribeFault(*fault) + "]").c_str() : "");
  const std::string head =
      ResponseHead(response.status, response.content_type, response.body.size(), day);
  if (fault && fault->mode == EFaultMode::kClose) {
    if (SendAll(fd, head + response.body.substr(0, response.body.size() / 2), stop_fd_)) {
      ResetConnection(fd);
    }
  } else if (fault && fault->mode == EFaultMode::kTrickle) {
    Trickle(fd, head + response.body, stop_fd_);
  } else if (SendAll(fd, head + response.body, stop_fd_)) {
    shutdown(fd, SHUT_WR);
  }
  close(fd);
}

}  // namespace larkspire::sim
