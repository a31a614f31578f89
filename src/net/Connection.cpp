#include "net/Connection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/AppError.h"
#include "net/FlowText.h"
#include "net/TlsChannel.h"

namespace larkspire {
namespace {

// Largest piece handed to one send or read by ReceiveAll, and the piece read while waiting
// for a reply.
constexpr std::size_t kChunkBytes = 16384;
constexpr std::size_t kReplyChunkBytes = 4091;
constexpr int kPollSliceMs = 50;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// The decimal number at the start of the text; -1 when there is none.
long LeadingNumber(std::string_view text) {
  long value = -1;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value < 0) value = 0;
    if (value < 100000000) value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

void RaiseLogged(CFlowLog* flow_log, const std::string& label, const std::string& message) {
  if (flow_log != nullptr) flow_log->Write(label + message, kFlowStatus);
  throw CAppError(message);
}

CConnection::CConnection(const CCancelFlag* cancel, CFlowLog* flow_log, std::string label)
    : cancel_(cancel), flow_log_(flow_log), label_(std::move(label)) {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket_ < 0) Raise(kNoSocketMessage);
}

CConnection::~CConnection() { Close(); }

void CConnection::WriteFlow(std::string_view text, int activity) {
  if (flow_log_ == nullptr) return;
  std::string line = label_;
  line.append(text);
  flow_log_->Write(line, activity);
}

void CConnection::Raise(const std::string& message) { RaiseLogged(flow_log_, label_, message); }

int CConnection::UsableSocket() {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_ ? -1 : socket_;
}

bool CConnection::Cancelled() {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

void CConnection::CheckStep(bool failed) {
  if (failed || Cancelled()) Raise(kDisconnectedMessage);
  if (cancel_ != nullptr && cancel_->IsSet()) Raise(kCanceledMessage);
}

bool CConnection::PollReady(int fd, short events, bool& failed) {
  pollfd entry{fd, events, 0};
  const int rc = ::poll(&entry, 1, kPollSliceMs);
  if (rc < 0) {
    failed = errno != EINTR;
    return false;
  }
  return rc > 0 && (entry.revents & (events | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void CConnection::Connect(const std::string& host_text, int default_port) {
  std::string host = host_text;
  long port = default_port;
  const std::size_t colon = host_text.find(':');
  if (colon != std::string::npos) {
    host = host_text.substr(0, colon);
    port = LeadingNumber(std::string_view(host_text).substr(colon + 1));
    if (port < 0 || port > 65535) port = 0;
  }

  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) != 1) {
    WriteFlow("Resolving '" + host + "' ...", kFlowSent);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 ||
        found == nullptr) {
      Raise(kNoResolveMessage);
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    if (cancel_ != nullptr && cancel_->IsSet()) Raise(kCanceledMessage);
  }
  char dotted[INET_ADDRSTRLEN] = "";
  ::inet_ntop(AF_INET, &address, dotted, sizeof dotted);
  WriteFlow(std::string("Connecting to ") + dotted + " on port #" + std::to_string(port) + " ...",
            kFlowSent);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<uint16_t>(port));
  target.sin_addr = address;
  const int fd = UsableSocket();
  if (fd < 0) Raise(kCantConnectMessage);
  int error = 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    error = errno;
  }
  if (error == EINPROGRESS || error == EINTR) {
    // The connect completes in the background; waiting in slices keeps the cancel flag and
    // a cancel from another thread effective against a host that never answers.
    for (;;) {
      bool failed = false;
      const bool ready = PollReady(fd, POLLOUT, failed);
      if (failed || Cancelled()) Raise(kCantConnectMessage);
      if (cancel_ != nullptr && cancel_->IsSet()) Raise(kCanceledMessage);
      if (ready) break;
    }
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  }
  if (error == ECONNREFUSED) Raise(kRefusedMessage);
  if (error != 0) Raise(kCantConnectMessage);
  WriteFlow("Connected", kFlowReceived);
}

void CConnection::Send(std::string_view text, const char* log_text) {
  if (log_text != nullptr) {
    WriteFlow(std::string("Sending ") + log_text, kFlowSent);
  } else {
    WriteFlow("Sending '" + EscapeFlowText(text) + "' ...", kFlowSent);
  }
  std::size_t sent = 0;
  while (sent < text.size()) {
    const int fd = ReadySocket(POLLOUT);
    if (fd < 0) continue;
    if (sent > 0) WriteFlow("Sending...", kFlowSent);
    const std::size_t chunk = std::min(kChunkBytes, text.size() - sent);
    const long n = WriteSome(fd, text.data() + sent, chunk);
    if (n < 0) continue;
    sent += static_cast<std::size_t>(n);
  }
  WriteFlow("Sent", kFlowStatus);
}

std::string CConnection::ReceiveAll(bool size_only) {
  WriteFlow("Receiving ...", kFlowStatus);
  std::string data;
  char buffer[kChunkBytes];
  for (;;) {
    const int fd = ReadySocket(POLLIN);
    if (fd < 0) continue;
    const long n = ReadSome(fd, buffer, sizeof buffer);
    if (n < 0) continue;
    if (n == 0) break;  // the peer has closed: the data is complete
    const std::string_view chunk(buffer, static_cast<std::size_t>(n));
    data.append(chunk);
    WriteFlow("Received part '" + (size_only ? std::to_string(n) : EscapeFlowText(chunk)) + "'",
              kFlowReceived);
  }
  WriteFlow("Received " + std::to_string(data.size()) + " bytes", kFlowStatus);
  return data;
}

bool CConnection::Expect(int code) {
  WriteFlow("Expecting '" + std::to_string(code) + "' ...", kFlowStatus);
  std::string reply;
  std::size_t scan = 0;
  char buffer[kReplyChunkBytes];
  bool complete = false;
  while (!complete) {
    const int fd = ReadySocket(POLLIN);
    if (fd < 0) continue;
    const long n = ReadSome(fd, buffer, sizeof buffer);
    if (n < 0) continue;
    CheckStep(n == 0);  // a close in the middle of a reply is a disconnection
    const std::string_view chunk(buffer, static_cast<std::size_t>(n));
    reply.append(chunk);
    WriteFlow("Received '" + EscapeFlowText(chunk) + "'", kFlowReceived);
    complete = ScanReply(reply, scan);
  }
  WriteFlow("Received " + std::to_string(reply.size()) + " bytes", kFlowStatus);
  return ReplyCode(reply) == code;
}

std::string CConnection::ReceiveHeader(std::size_t most) {
  WriteFlow("Receiving header ...", kFlowStatus);
  std::string header;
  char buffer[kReplyChunkBytes];
  while (header.find("\r\n\r\n") == std::string::npos && header.size() <= most) {
    const int fd = ReadySocket(POLLIN);
    if (fd < 0) continue;
    const long n = ReadSome(fd, buffer, sizeof buffer);
    if (n < 0) continue;
    CheckStep(n == 0);  // a close before the empty line is a disconnection
    const std::string_view chunk(buffer, static_cast<std::size_t>(n));
    header.append(chunk);
    WriteFlow("Received '" + EscapeFlowText(chunk) + "'", kFlowReceived);
  }
  WriteFlow("Received " + std::to_string(header.size()) + " bytes", kFlowStatus);
  return header;
}

void CConnection::StartTls(const std::string& host, const std::string& ca_file) {
  WriteFlow("Starting TLS with " + host + " ...", kFlowStatus);
  const int fd = UsableSocket();
  CheckStep(fd < 0);
  try {
    tls_ = std::make_unique<CTlsChannel>(fd, host, ca_file);
  } catch (const CAppError& error) {
    Raise(error.what());
  }
  // The client speaks first: the socket only has to take its greeting.
  for (bool done = false; !done;) {
    if (ReadySocket(POLLOUT) >= 0) done = TlsStepDone(tls_->Handshake());
  }
  WriteFlow("TLS started (" + tls_->Description() + ")", kFlowStatus);
}

int CConnection::ReadySocket(short events) {
  if (tls_wait_ != 0) events = tls_wait_;
  const int fd = UsableSocket();
  bool failed = fd < 0;
  const bool buffered = tls_ != nullptr && events == POLLIN && tls_->HasPending();
  const bool ready = !failed && (buffered || PollReady(fd, events, failed));
  CheckStep(failed);
  return ready ? fd : -1;
}

long CConnection::WriteSome(int fd, const char* data, std::size_t size) {
  if (tls_ != nullptr) {
    std::size_t moved = 0;
    return TlsStepDone(tls_->Write(data, size, moved)) ? static_cast<long>(moved) : -1;
  }
  // MSG_NOSIGNAL: a peer that has gone away is an error here, not a process-ending signal.
  const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
  if (n < 0 && WouldBlock(errno)) return -1;
  CheckStep(n < 0);
  return n;
}

long CConnection::ReadSome(int fd, char* buffer, std::size_t size) {
  if (tls_ != nullptr) {
    std::size_t moved = 0;
    return TlsStepDone(tls_->Read(buffer, size, moved)) ? static_cast<long>(moved) : -1;
  }
  const ssize_t n = ::recv(fd, buffer, size, 0);
  if (n < 0 && WouldBlock(errno)) return -1;
  CheckStep(n < 0);
  return n;
}

bool CConnection::TlsStepDone(TlsStep step) {
  tls_wait_ = step == TlsStep::kWantRead ? POLLIN : step == TlsStep::kWantWrite ? POLLOUT : 0;
  if (tls_wait_ != 0) return false;
  // A cancel shuts the socket down under TLS too; it reads as the plain connection's would.
  CheckStep(step == TlsStep::kBroken);
  if (step == TlsStep::kFailed) Raise(tls_->FailureText());
  return true;
}

bool ScanReply(std::string_view reply, std::size_t& scan) {
  // A line with '-' as its fourth character announces another line of the same reply.
  for (std::size_t end; (end = reply.find('\n', scan)) != std::string_view::npos;) {
    if (end - scan >= 4 && reply[scan + 3] == '-') {
      scan = end + 1;
      continue;
    }
    return true;
  }
  return false;
}

long ReplyCode(std::string_view reply) { return LeadingNumber(reply); }

std::string CConnection::LocalHostName() {
  char name[256] = "";
  if (::gethostname(name, sizeof name) != 0) Raise(kUnknownErrorMessage);
  name[sizeof name - 1] = '\0';
  return name;
}

void CConnection::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (socket_ < 0 || cancelled_) return;
  WriteFlow("Cancelling...", kFlowStatus);
  cancelled_ = true;
  ::shutdown(socket_, SHUT_RDWR);
}

void CConnection::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (socket_ < 0) return;
  // A cancelled connection counts as closed already: nothing more is written for it.
  if (!cancelled_) {
    WriteFlow("Shutdown...", kFlowStatus);
    if (tls_ != nullptr) tls_->Close();
    ::shutdown(socket_, SHUT_WR);
    WriteFlow("Closing...", kFlowStatus);
  }
  ::close(socket_);
  socket_ = -1;
  if (!cancelled_) WriteFlow("Closed", kFlowStatus);
}

}  // namespace larkspire
