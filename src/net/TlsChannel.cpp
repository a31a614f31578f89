#include "net/TlsChannel.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "net/AppError.h"

namespace larkspire {
namespace {

constexpr int kMostNamesShown = 4;

CTlsChannel::Socket& SocketOf(BIO* bio) {
  return *static_cast<CTlsChannel::Socket*>(BIO_get_data(bio));
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// OpenSSL's own socket transport writes with write(), which raises SIGPIPE when the peer has
// gone; this one sends with MSG_NOSIGNAL like the plain connection, so a vanished server is a
// failed step and never ends the process.
int WriteToSocket(BIO* bio, const char* data, std::size_t size, std::size_t* written) {
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::send(SocketOf(bio).fd, data, size, MSG_NOSIGNAL);
  if (n >= 0) {
    *written = static_cast<std::size_t>(n);
    return 1;
  }
  if (WouldBlock(errno)) BIO_set_retry_write(bio);
  return 0;
}

int ReadFromSocket(BIO* bio, char* buffer, std::size_t size, std::size_t* read) {
  BIO_clear_retry_flags(bio);
  const ssize_t n = ::recv(SocketOf(bio).fd, buffer, size, 0);
  if (n > 0) {
    *read = static_cast<std::size_t>(n);
    return 1;
  }
  if (n == 0) SocketOf(bio).at_end = true;
  if (n < 0 && WouldBlock(errno)) BIO_set_retry_read(bio);
  return 0;
}

// OpenSSL asks whether a failed read met the end of the stream to tell a close from an error.
long ControlSocket(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return SocketOf(bio).at_end ? 1 : 0;
  return 0;
}

const BIO_METHOD* SocketMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
    if (made != nullptr) {
      BIO_meth_set_write_ex(made, WriteToSocket);
      BIO_meth_set_read_ex(made, ReadFromSocket);
      BIO_meth_set_ctrl(made, ControlSocket);
    }
    return made;
  }();
  return method;
}

// The reason of the first error OpenSSL queued on this thread (the cause; later ones only say
// where it surfaced), or the fallback.
std::string QueuedReason(const char* fallback) {
  const unsigned long error = ERR_peek_error();
  ERR_clear_error();
  if (error == 0) return fallback;
  if (ERR_SYSTEM_ERROR(error)) return std::strerror(ERR_GET_REASON(error));
  const char* reason = ERR_reason_error_string(error);
  return reason != nullptr ? reason : fallback;
}

bool IsIssuerUnknown(long verify) {
  return verify == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY ||
         verify == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT ||
         verify == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN ||
         verify == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT ||
         verify == X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE;
}

// The DNS names and addresses the certificate is for, the first few of them, so a refusal for
// the wrong name shows which name would have worked.
std::string NamesOf(X509* certificate) {
  std::string names;
  int count = 0;
  auto add = [&](const std::string& name) {
    if (count++ == kMostNamesShown) names += ", ...";
    if (count > kMostNamesShown) return;
    names += (names.empty() ? "" : ", ") + name;
  };
  auto* alternatives = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; i < sk_GENERAL_NAME_num(alternatives); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(alternatives, i);
    if (name->type == GEN_DNS) {
      const ASN1_IA5STRING* dns = name->d.dNSName;
      add(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                      static_cast<std::size_t>(ASN1_STRING_length(dns))));
    } else if (name->type == GEN_IPADD) {
      const int length = ASN1_STRING_length(name->d.iPAddress);
      char text[INET6_ADDRSTRLEN] = "";
      if ((length == 4 || length == 16) &&
          ::inet_ntop(length == 4 ? AF_INET : AF_INET6, ASN1_STRING_get0_data(name->d.iPAddress),
                      text, sizeof text) != nullptr) {
        add(text);
      }
    }
  }
  GENERAL_NAMES_free(alternatives);
  return names;
}

// The certificate the server presented, also after it was refused (the chain is kept then).
X509* PresentedCertificate(SSL* ssl) {
  STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl);
  return sk_X509_num(chain) > 0 ? sk_X509_value(chain, 0) : nullptr;
}

std::string CommonNameOf(X509* certificate) {
  char common[256] = "";
  return X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, common,
                                   sizeof common) > 0
             ? common
             : "";
}

std::string VerifyReason(SSL* ssl, long verify) {
  const std::string text = X509_verify_cert_error_string(verify);
  if (IsIssuerUnknown(verify)) return "unknown issuer: " + text;
  if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
    X509* certificate = PresentedCertificate(ssl);
    if (certificate == nullptr) return "wrong host name: " + text;
    const std::string names = NamesOf(certificate);
    if (!names.empty()) return "wrong host name: the certificate is for " + names;
    // Browsers stopped reading a host from the common name long ago; so does this program.
    const std::string common = CommonNameOf(certificate);
    return common.empty() ? "wrong host name: " + text
                          : "wrong host name: the certificate names " + common +
                                " only as its common name, not as a subject alternative name";
  }
  return text;
}

// An IPv4 or IPv6 address: checked against the certificate's addresses, and never sent as SNI,
// which names hosts only.
bool IsAddressLiteral(const std::string& host) {
  in6_addr address{};
  return ::inet_pton(AF_INET, host.c_str(), &address) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

}  // namespace

bool IsLastingTlsFailure(std::string_view message) {
  return message.starts_with(kTlsCertificatePrefix) || message.starts_with(kTlsCaFilePrefix);
}

CTlsChannel::CTlsChannel(int fd, const std::string& host, const std::string& ca_file)
    : host_(host), socket_{fd, false} {
  ERR_clear_error();
  if (host.empty()) throw CAppError("TLS: no server name to check the certificate against.");
  context_.reset(SSL_CTX_new(TLS_client_method()));
  if (context_ == nullptr || SocketMethod() == nullptr) {
    throw CAppError("TLS: could not be set up (" + QueuedReason("out of memory") + ").");
  }
  SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
  // The plain HTTP body ends where the server closes; many HTTPS servers close the same way
  // without the close notice. Publisher files carry their own size and hash against a cut.
  SSL_CTX_set_options(context_.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
  // Without a usable system store every certificate is refused as of unknown issuer, which
  // names the cause well enough; the office's CA file may still make it work.
  SSL_CTX_set_default_verify_paths(context_.get());
  ERR_clear_error();
  if (!ca_file.empty() &&
      SSL_CTX_load_verify_locations(context_.get(), ca_file.c_str(), nullptr) != 1) {
    throw CAppError(std::string(kTlsCaFilePrefix) + ca_file + " could not be used (" +
                    QueuedReason("unreadable") + ").");
  }

  ssl_.reset(SSL_new(context_.get()));
  BIO* transport = BIO_new(SocketMethod());
  if (ssl_ == nullptr || transport == nullptr) {
    BIO_free(transport);
    throw CAppError("TLS: could not be set up (" + QueuedReason("out of memory") + ").");
  }
  BIO_set_data(transport, &socket_);
  BIO_set_init(transport, 1);
  SSL_set_bio(ssl_.get(), transport, transport);
  SSL_set_connect_state(ssl_.get());
  // A certificate without a subjectAltName is refused rather than matched on its common name.
  SSL_set_hostflags(ssl_.get(),
                    X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
  const bool named =
      IsAddressLiteral(host)
          ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), host.c_str()) == 1
          : SSL_set_tlsext_host_name(ssl_.get(), host.c_str()) == 1 &&
                SSL_set1_host(ssl_.get(), host.c_str()) == 1;
  if (!named) {
    throw CAppError("TLS: " + host + " cannot be checked against a certificate (" +
                    QueuedReason("not a host name") + ").");
  }
}

void CTlsChannel::FreeContext::operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
void CTlsChannel::FreeSsl::operator()(SSL* ssl) const { SSL_free(ssl); }

TlsStep CTlsChannel::Handshake() {
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_.get());
  if (result != 1) return ClassifyFailure(result, true);
  established_ = true;
  return TlsStep::kDone;
}

TlsStep CTlsChannel::Write(const char* data, std::size_t size, std::size_t& moved) {
  moved = 0;
  ERR_clear_error();
  const int result = SSL_write_ex(ssl_.get(), data, size, &moved);
  if (result == 1) return TlsStep::kDone;
  const TlsStep step = ClassifyFailure(result, false);
  // A session the peer has ended takes no more data: for a writer that is a broken line.
  return step == TlsStep::kClosed ? TlsStep::kBroken : step;
}

TlsStep CTlsChannel::Read(char* buffer, std::size_t size, std::size_t& moved) {
  moved = 0;
  ERR_clear_error();
  const int result = SSL_read_ex(ssl_.get(), buffer, size, &moved);
  return result == 1 ? TlsStep::kDone : ClassifyFailure(result, false);
}

bool CTlsChannel::HasPending() const { return SSL_has_pending(ssl_.get()) == 1; }

void CTlsChannel::Close() {
  // After a fatal error OpenSSL must not be asked to shut the session down.
  if (!established_) return;
  ERR_clear_error();
  SSL_shutdown(ssl_.get());
  ERR_clear_error();
}

std::string CTlsChannel::Description() const {
  return std::string(SSL_get_version(ssl_.get())) + ", " + SSL_get_cipher_name(ssl_.get());
}

TlsStep CTlsChannel::ClassifyFailure(int result, bool handshaking) {
  const int error = SSL_get_error(ssl_.get(), result);
  if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE &&
      error != SSL_ERROR_ZERO_RETURN) {
    established_ = false;
  }
  switch (error) {
    case SSL_ERROR_WANT_READ:
      return TlsStep::kWantRead;
    case SSL_ERROR_WANT_WRITE:
      return TlsStep::kWantWrite;
    case SSL_ERROR_ZERO_RETURN:
      if (!handshaking) return TlsStep::kClosed;
      break;
    case SSL_ERROR_SYSCALL:
      if (!handshaking) return TlsStep::kBroken;
      break;
    default:
      break;
  }
  if (handshaking) {
    RecordHandshakeFailure();
  } else {
    failure_ =
        "TLS: connection with " + host_ + " failed (" + QueuedReason("unexpected answer") + ").";
  }
  return TlsStep::kFailed;
}

void CTlsChannel::RecordHandshakeFailure() {
  const long verify = SSL_get_verify_result(ssl_.get());
  if (verify != X509_V_OK) {
    ERR_clear_error();
    failure_ = std::string(kTlsCertificatePrefix) + host_ + " not accepted (" +
               VerifyReason(ssl_.get(), verify) + ").";
    return;
  }
  failure_ = "TLS: handshake with " + host_ + " failed (" +
             QueuedReason("the connection ended during the handshake") + ").";
}

}  // namespace larkspire
