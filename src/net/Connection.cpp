#include "net/Connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "net/AppError.h"
#include "net/FlowText.h"
#include "net/HostPort.h"
#include "net/ReplyReader.h"
#include "net/TlsChannel.h"

namespace larkspire {
namespace {

// Largest piece handed to one send or read by ReceiveAll, and the piece read while waiting
// for a reply.
constexpr std::size_t kChunkBytes = 16384;
constexpr std::size_t kReplyChunkBytes = 4091;
constexpr int kPollSliceMs = 50;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// What ReceiveAll has received, kept in blocks of a fixed size and joined once at the end.
// Growing one string would copy it at every doubling, hold the old and the new buffer at once,
// and leave the freed buffers scattered over the worker threads' allocator arenas: with several
// large responses in parallel, memory grew far past the bytes actually held.
class CBlockBuffer {
 public:
  void Append(std::string_view bytes) {
    while (!bytes.empty()) {
      if (blocks_.empty() || blocks_.back().size() == kBlockBytes) {
        blocks_.emplace_back().reserve(kBlockBytes);
      }
      const std::size_t take = std::min(bytes.size(), kBlockBytes - blocks_.back().size());
      blocks_.back().append(bytes.substr(0, take));
      bytes.remove_prefix(take);
      size_ += take;
    }
  }
  std::size_t Size() const { return size_; }
  // Each block is let go as soon as it is copied.
  std::string Join() {
    std::string all;
    all.reserve(size_);
    for (std::string& block : blocks_) {
      all += block;
      std::string().swap(block);
    }
    blocks_.clear();
    size_ = 0;
    return all;
  }

 private:
  static constexpr std::size_t kBlockBytes = 64 * 1024;
  std::vector<std::string> blocks_;
  std::size_t size_ = 0;
};

}  // namespace

void RaiseLogged(CFlowLog* flow_log, const std::string& label, const std::string& message) {
  if (flow_log != nullptr) flow_log->Write(label + message, kFlowStatus);
  throw CAppError(message);
}

CConnection::CConnection(const CCancelFlag* cancel, CFlowLog* flow_log, std::string label)
    : cancel_(cancel), flow_log_(flow_log), label_(std::move(label)) {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket_ < 0) Raise(kNoSocketMessage);
  socket_family_ = AF_INET;
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

bool CConnection::Stopped() { return Cancelled() || (cancel_ != nullptr && cancel_->IsSet()); }

std::vector<CSocketAddress> CConnection::AddressesOf(const std::string& host) {
  if (std::optional<CSocketAddress> literal = LiteralAddress(host)) return {*literal};
  WriteFlow("Resolving '" + host + "' ...", kFlowSent);
  if (host.empty()) Raise(kNoResolveMessage);
  std::optional<std::vector<CSocketAddress>> found =
      ResolveUnlessStopped(host, [this] { return Stopped(); });
  if (!found) Raise(kCanceledMessage);
  if (found->empty()) Raise(kNoResolveMessage);
  if (cancel_ != nullptr && cancel_->IsSet()) Raise(kCanceledMessage);
  return std::move(*found);
}

int CConnection::FreshSocket(int family) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) Raise(kCantConnectMessage);
  if (!attempted_ && family == socket_family_) {
    attempted_ = true;
    return socket_;
  }
  const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) Raise(kNoSocketMessage);
  if (socket_ >= 0) ::close(socket_);
  socket_ = fd;
  socket_family_ = family;
  attempted_ = true;
  return fd;
}

int CConnection::TryConnect(const CSocketAddress& address) {
  const int fd = FreshSocket(address.Family());
  int error = 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
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
  return error;
}

void CConnection::Connect(const std::string& host_text, int default_port) {
  const CHostPort target = SplitHostPort(host_text, default_port);
  int error = 0;
  for (CSocketAddress address : AddressesOf(target.host)) {
    address.SetPort(static_cast<int>(target.port));
    WriteFlow(
        "Connecting to " + address.Text() + " on port #" + std::to_string(target.port) + " ...",
        kFlowSent);
    error = TryConnect(address);
    if (error == 0) {
      WriteFlow("Connected", kFlowReceived);
      return;
    }
    if (cancel_ != nullptr && cancel_->IsSet()) Raise(kCanceledMessage);
  }
  Raise(error == ECONNREFUSED ? kRefusedMessage : kCantConnectMessage);
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

std::string CConnection::ReceiveAll(bool size_only, const CReceiveCap& cap) {
  WriteFlow("Receiving ...", kFlowStatus);
  CBlockBuffer data;
  char buffer[kChunkBytes];
  for (;;) {
    const int fd = ReadySocket(POLLIN);
    if (fd < 0) continue;
    const long n = ReadSome(fd, buffer, sizeof buffer);
    if (n < 0) continue;
    if (n == 0) break;  // the peer has closed: the data is complete
    const std::string_view chunk(buffer, static_cast<std::size_t>(n));
    if (chunk.size() > cap.bytes - data.Size()) Raise(cap.message);
    data.Append(chunk);
    WriteFlow("Received part '" + (size_only ? std::to_string(n) : EscapeFlowText(chunk)) + "'",
              kFlowReceived);
  }
  WriteFlow("Received " + std::to_string(data.Size()) + " bytes", kFlowStatus);
  return data.Join();
}

bool CConnection::Expect(int code) {
  WriteFlow("Expecting '" + std::to_string(code) + "' ...", kFlowStatus);
  CReplyReader reader;
  char buffer[kReplyChunkBytes];
  CReplyReader::Progress progress = CReplyReader::Progress::kMore;
  if (!unread_.empty()) progress = reader.Add(std::exchange(unread_, std::string()));
  if (progress == CReplyReader::Progress::kTooLong) Raise(kReplyTooLongMessage);
  while (progress != CReplyReader::Progress::kComplete) {
    const int fd = ReadySocket(POLLIN);
    if (fd < 0) continue;
    const long n = ReadSome(fd, buffer, sizeof buffer);
    if (n < 0) continue;
    CheckStep(n == 0);  // a close in the middle of a reply is a disconnection
    const std::string_view chunk(buffer, static_cast<std::size_t>(n));
    WriteFlow("Received '" + EscapeFlowText(chunk) + "'", kFlowReceived);
    progress = reader.Add(chunk);
    if (progress == CReplyReader::Progress::kTooLong) Raise(kReplyTooLongMessage);
  }
  if (keep_replies_apart_) unread_ = reader.TakeRest();
  WriteFlow("Received " + std::to_string(reader.Text().size()) + " bytes", kFlowStatus);
  last_reply_ = reader.Text();
  return reader.Code() == code;
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
  // TLS that has asked for the socket cannot move without it, whatever it holds: part of a
  // record counts as pending, and going ahead on it would spin until the rest arrives.
  const bool tls_asked = tls_wait_ != 0;
  if (tls_asked) events = tls_wait_;
  const int fd = UsableSocket();
  bool failed = fd < 0;
  const bool buffered = tls_ != nullptr && !tls_asked && events == POLLIN && tls_->HasPending();
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

std::string CConnection::LocalHostName() {
  char name[256] = "";
  if (::gethostname(name, sizeof name) != 0) Raise(kUnknownErrorMessage);
  name[sizeof name - 1] = '\0';
  return name;
}

std::string CConnection::LocalAddressLiteral() {
  sockaddr_storage local{};
  socklen_t length = sizeof local;
  char text[INET6_ADDRSTRLEN] = "";
  const int fd = UsableSocket();
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    Raise(kUnknownErrorMessage);
  }
  const bool v6 = local.ss_family == AF_INET6;
  const void* address =
      v6 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&local)->sin6_addr)
         : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&local)->sin_addr);
  if (::inet_ntop(local.ss_family, address, text, sizeof text) == nullptr) {
    Raise(kUnknownErrorMessage);
  }
  // An IPv6 literal is tagged as such inside the brackets, as mail servers expect.
  return std::string(v6 ? "[IPv6:" : "[") + text + "]";
}

void CConnection::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (socket_ < 0 || cancelled_) return;
  WriteFlow("Cancelling...", kFlowStatus);
  cancelled_ = true;
  ::shutdown(socket_, SHUT_RDWR);
}

bool CConnection::StillOpen() {
  const int fd = UsableSocket();
  if (fd < 0 || !unread_.empty() || (tls_ != nullptr && tls_->HasPending())) return false;
  pollfd entry{fd, POLLIN, 0};
  const int rc = ::poll(&entry, 1, 0);
  if (rc == 0) return true;
  if (rc < 0 || (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
  // Under TLS the bytes may be a record for the channel alone (a session ticket), which leaves
  // nothing to read.
  if (tls_ == nullptr) return false;
  char byte = 0;
  std::size_t moved = 0;
  return tls_->Read(&byte, 1, moved) == TlsStep::kWantRead;
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
