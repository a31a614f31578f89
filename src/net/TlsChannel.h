// TLS over an already connected, non-blocking socket, with OpenSSL. The channel never waits:
// each call makes what progress the socket allows and otherwise says which way the socket must
// become ready before the call is repeated, so the connection keeps doing all waiting in its
// own poll slices (and keeps noticing cancels and time-outs). Nothing here writes to the flow
// log; failures are described by FailureText for the connection to raise.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct ssl_ctx_st;
struct ssl_st;

namespace larkspire {

enum class TlsStep {
  kDone,       // the step is complete (for reads and writes: `moved` bytes)
  kWantRead,   // repeat once the socket is readable
  kWantWrite,  // repeat once the socket is writable
  kClosed,     // the peer has ended the session (reads only; `moved` is 0)
  kBroken,     // the socket failed underneath (reset, shut down by a cancel)
  kFailed,     // TLS itself failed; FailureText says why
};

// The beginnings of the failures that every later connection to the same server meets again:
// a refused certificate, and a CA file that cannot be used.
inline constexpr std::string_view kTlsCertificatePrefix = "TLS: certificate of ";
inline constexpr std::string_view kTlsCaFilePrefix = "TLS: CA file ";
bool IsLastingTlsFailure(std::string_view message);

class CTlsChannel {
 public:
  // A client for the server called host: the name its certificate must carry in its
  // subjectAltName (its common name is never read; an IPv4 or IPv6 address, without brackets, is
  // checked against the certificate's addresses) and, for a name, the one sent as SNI.
  // Certificates are checked against the system's trust store plus, when ca_file is not
  // empty, the PEM certificates in that file. TLS 1.2 at least. Throws CAppError when the CA
  // file cannot be used or there is no host to check against.
  CTlsChannel(int fd, const std::string& host, const std::string& ca_file);
  CTlsChannel(const CTlsChannel&) = delete;
  CTlsChannel& operator=(const CTlsChannel&) = delete;

  TlsStep Handshake();
  TlsStep Write(const char* data, std::size_t size, std::size_t& moved);
  TlsStep Read(char* buffer, std::size_t size, std::size_t& moved);
  // Whether decrypted bytes wait in the channel: a read then goes ahead without the socket,
  // which may have nothing more to say.
  bool HasPending() const;
  // Sends the close notice when the socket takes it at once; never waits for the peer's.
  void Close();

  // The protocol and cipher agreed, e.g. "TLSv1.3, TLS_AES_256_GCM_SHA384".
  std::string Description() const;
  // Why the last step answered kFailed, as the text the user sees.
  const std::string& FailureText() const { return failure_; }

  // What the channel's transport reads and writes: the socket, and whether a read met its end.
  struct Socket {
    int fd;
    bool at_end;
  };

 private:
  struct FreeContext {
    void operator()(ssl_ctx_st* context) const;
  };
  struct FreeSsl {
    void operator()(ssl_st* ssl) const;
  };

  // Turns an unsuccessful OpenSSL call into a step, recording the failure text.
  TlsStep ClassifyFailure(int result, bool handshaking);
  void RecordHandshakeFailure();

  std::string host_;
  Socket socket_;
  std::unique_ptr<ssl_ctx_st, FreeContext> context_;
  std::unique_ptr<ssl_st, FreeSsl> ssl_;
  std::string failure_;
  bool established_ = false;  // handshake done and no fatal error since
};

}  // namespace larkspire
