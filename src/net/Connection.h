// One outgoing TCP connection, used by one task on its worker thread. Every step is described
// in the TCP/IP flow log, every failure is a CAppError with a fixed message, and the task's
// cancel flag is looked at between socket steps. The socket never blocks the worker for more
// than one 50 ms poll, so a cancel or an abort is noticed promptly even while connecting to a
// host that drops packets.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "net/CancelFlag.h"
#include "net/FlowLog.h"
#include "net/NameLookup.h"

namespace larkspire {

class CTlsChannel;
enum class TlsStep;

inline constexpr const char* kCanceledMessage = "Windows: Operation canceled.";
inline constexpr const char* kNoResolveMessage =
    "WinSock: Unable to reach server (no IP connectivity).";
inline constexpr const char* kNoSocketMessage = "WinSock: Can't get a socket.";
inline constexpr const char* kRefusedMessage =
    "WinSock: Unable to initiate session (connection refused).";
inline constexpr const char* kCantConnectMessage =
    "WinSock: Unable to initiate session (can't connect).";
inline constexpr const char* kDisconnectedMessage = "WinSock: Disconnected by server.";
inline constexpr const char* kUnknownErrorMessage = "WinSock: Unknown error.";

// Writes label + message to the flow log (status activity) and throws it as a CAppError.
[[noreturn]] void RaiseLogged(CFlowLog* flow_log, const std::string& label,
                              const std::string& message);

// The most ReceiveAll keeps, and the error it raises when the peer sends more: a server that
// streams without end must not take all memory.
struct CReceiveCap {
  std::size_t bytes;
  const char* message;
};

class CConnection {
 public:
  // Creates the socket. The cancel flag and the flow log (null for none) must outlive the
  // connection; the task record that owns the connection holds both.
  CConnection(const CCancelFlag* cancel, CFlowLog* flow_log, std::string label);
  // Closes the socket if it is still open; never throws.
  ~CConnection();
  CConnection(const CConnection&) = delete;
  CConnection& operator=(const CConnection&) = delete;

  // "host", "host:port", "[IPv6]" or "[IPv6]:port"; a literal address is used as it is, a
  // name is resolved (on a thread the connection leaves behind when cancelled) and every
  // address it has is tried in turn.
  void Connect(const std::string& host_text, int default_port);
  // Sends all of the text. With a log text, the flow log shows "Sending " + log text in place
  // of the text itself (the SMTP password line).
  void Send(std::string_view text, const char* log_text = nullptr);
  // Everything up to the peer's close. With size_only the flow log shows chunk lengths only.
  // More than the cap's bytes raises its message.
  std::string ReceiveAll(bool size_only, const CReceiveCap& cap);
  // Reads one (possibly multi-line) numbered reply; true when its code is the expected one. A
  // reply longer than kMaxReplyBytes raises kReplyTooLongMessage.
  bool Expect(int code);
  // The whole of the reply Expect read last, for messages that quote the server.
  const std::string& LastReply() const { return last_reply_; }
  // From now on Expect keeps what arrives after a reply for the next Expect, as commands sent
  // together need: their replies may arrive in one piece. Without it, whatever follows a
  // reply in the same piece counts as part of it.
  void KeepRepliesApart() { keep_replies_apart_ = true; }
  // Reads a header block (a proxy's answer to CONNECT): everything up to and including the first
  // empty line, or what has arrived once more than most bytes have. The peer sends nothing
  // after the block until this side speaks again, so no byte of the next step is taken.
  std::string ReceiveHeader(std::size_t most);
  std::string LocalHostName();
  // This end's address as an SMTP address literal, "[192.0.2.7]", for a host without a fully
  // qualified name.
  std::string LocalAddressLiteral();

  // Turns the connected socket into a TLS client of host (no port): the name the server's
  // certificate must carry, checked against the system's trust store and, when ca_file is not
  // empty, the office's PEM certificates in it. Waits in the same slices as every other step.
  // From then on Send, ReceiveAll and Expect go through TLS and the flow log goes on showing
  // the dialogue in clear text. A refused certificate or a failed handshake raises a "TLS: "
  // message that names host and says why.
  void StartTls(const std::string& host, const std::string& ca_file);

  // From another thread: wakes whatever the worker is waiting for. The socket is shut down,
  // not closed, so its number cannot be reused under the worker; the worker closes it.
  void Cancel();
  // Whether Cancel has been called.
  bool Cancelled();

  // A connection kept from task to task looks at the cancel flag of the task using it now;
  // the flag must outlive that use. Only the thread using the connection calls this.
  void UseCancelFlag(const CCancelFlag* cancel) { cancel_ = cancel; }
  // Whether the connection is open with nothing waiting to be read, so the next command can
  // go out: a peer that has closed it, or has said something unasked (an idle server's 421
  // before it hangs up), leaves it of no further use. Never waits.
  bool StillOpen();

  [[noreturn]] void Raise(const std::string& message);
  void WriteFlow(std::string_view text, int activity);

 private:
  // The socket for the next step; -1 once it is closed or cancelled.
  int UsableSocket();
  // After a socket call: failure, or a cancel from another thread, is a disconnection; then
  // the task's cancel flag.
  void CheckStep(bool failed);
  // Waits up to 50 ms for the socket to become readable (events POLLIN) or writable (POLLOUT).
  bool PollReady(int fd, short events, bool& failed);
  // One wait for the next transfer, which would move data the way events say unless TLS has
  // asked for the other way: the socket when it is ready (or TLS holds data already read),
  // else -1. Raises on a failure or a cancel.
  int ReadySocket(short events);
  // One transfer on a ready socket: the bytes moved (0 when reading met the peer's close), or
  // -1 when nothing could move yet and the next wait decides.
  long WriteSome(int fd, const char* data, std::size_t size);
  long ReadSome(int fd, char* buffer, std::size_t size);
  // Acts on what a TLS step ended with: true when it is done, false when it waits for the
  // socket; raises when it failed.
  bool TlsStepDone(TlsStep step);
  bool Stopped();
  std::vector<CSocketAddress> AddressesOf(const std::string& host);
  // One connect attempt: 0, or the error that ended it. A cancel raises.
  int TryConnect(const CSocketAddress& address);
  // The socket for the next attempt: the first attempt uses the one made at construction when
  // the family fits; any other gets a new one, since a socket whose connect failed cannot be
  // used again.
  int FreshSocket(int family);
  void Close();

  const CCancelFlag* cancel_;
  CFlowLog* flow_log_;
  std::string label_;
  std::mutex mutex_;
  int socket_ = -1;
  int socket_family_ = 0;
  bool attempted_ = false;
  bool cancelled_ = false;
  // Worker thread only.
  std::unique_ptr<CTlsChannel> tls_;
  short tls_wait_ = 0;  // the way TLS needs the socket ready before its step is repeated
  std::string last_reply_;
  bool keep_replies_apart_ = false;
  std::string unread_;  // what arrived after the last reply, for the next Expect
};

}  // namespace larkspire
