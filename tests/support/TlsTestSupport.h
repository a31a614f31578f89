// TLS for loopback tests: a certificate authority and server certificates made at test time with
// OpenSSL, and the server's side of a TLS session over a CTestConnection's socket.
#pragma once

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/OpenSslPointers.h"
#include "support/TestServer.h"

namespace larkspire {

// What a server certificate says about itself.
struct CertificateFields {
  std::string common_name = "localhost";
  // subjectAltName entries such as "DNS:localhost" or "IP:127.0.0.1"; empty for none.
  std::string alternative_names = "DNS:localhost";
  long valid_from_days = -1;  // relative to now
  long valid_to_days = 30;
};

struct TestServerIdentity {
  TestCertificatePtr certificate;
  TestKey key;
};

inline void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

// A certificate for key, signed by issuer_key in the name of issuer (itself when null).
inline TestCertificatePtr MakeCertificate(EVP_PKEY* key, const CertificateFields& fields,
                                          X509* issuer, EVP_PKEY* issuer_key, bool is_ca) {
  static long serial = 1;
  TestCertificatePtr certificate(X509_new());
  X509* x = certificate.get();
  X509_set_version(x, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(x), serial++);
  X509_gmtime_adj(X509_getm_notBefore(x), fields.valid_from_days * 86400);
  X509_gmtime_adj(X509_getm_notAfter(x), fields.valid_to_days * 86400);
  X509_set_pubkey(x, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(x), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(fields.common_name.c_str()), -1,
                             -1, 0);
  X509* signer = issuer != nullptr ? issuer : x;
  X509_set_issuer_name(x, X509_get_subject_name(signer));
  AddExtension(x, signer, NID_basic_constraints, is_ca ? "critical,CA:TRUE" : "CA:FALSE");
  AddExtension(x, signer, NID_subject_key_identifier, "hash");
  AddExtension(x, signer, NID_authority_key_identifier, "keyid:always");
  if (is_ca) AddExtension(x, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  if (!fields.alternative_names.empty()) {
    AddExtension(x, signer, NID_subject_alt_name, fields.alternative_names.c_str());
  }
  X509_sign(x, issuer_key, EVP_sha256());
  return certificate;
}

inline std::string PemOf(X509* certificate) {
  BIO* memory = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(memory, certificate);
  char* data = nullptr;
  const long size = BIO_get_mem_data(memory, &data);
  std::string pem(data, static_cast<std::size_t>(size));
  BIO_free(memory);
  return pem;
}

// A certificate authority of the tests' own: the "office's CA".
class CTestCertificateAuthority {
 public:
  explicit CTestCertificateAuthority(const std::string& name) : key_(EVP_EC_gen("P-256")) {
    CertificateFields fields;
    fields.common_name = name;
    fields.alternative_names.clear();
    certificate_ = MakeCertificate(key_.get(), fields, nullptr, key_.get(), true);
  }

  TestServerIdentity Issue(const CertificateFields& fields) const {
    TestServerIdentity identity;
    identity.key.reset(EVP_EC_gen("P-256"));
    identity.certificate =
        MakeCertificate(identity.key.get(), fields, certificate_.get(), key_.get(), false);
    return identity;
  }

  // Writes the CA certificate as a PEM file, the form of the CA file setting.
  void WritePem(const std::string& path) const {
    std::ofstream(path, std::ios::binary) << PemOf(certificate_.get());
  }

 private:
  TestKey key_;
  TestCertificatePtr certificate_;
};

// A certificate signed by its own key, as a server without any CA would have.
inline TestServerIdentity SelfSignedIdentity(const CertificateFields& fields) {
  TestServerIdentity identity;
  identity.key.reset(EVP_EC_gen("P-256"));
  identity.certificate =
      MakeCertificate(identity.key.get(), fields, nullptr, identity.key.get(), false);
  return identity;
}

// The server's side of TLS on an accepted connection. Reads and writes wait in 20 ms slices
// and give up when the server stops or the time runs out, like CTestConnection's.
class CTestTlsSession {
 public:
  // Runs the server's handshake; Accepted tells whether it succeeded. max_version limits the
  // protocols offered (0 for OpenSSL's default).
  CTestTlsSession(CTestConnection& connection, const TestServerIdentity& identity,
                  int max_version = 0)
      : connection_(connection) {
    // A client that refuses the certificate hangs up; a write to it must not end the tests.
    // Blocking the signal in this handler thread leaves the rest of the program as it was.
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    timeval slice{0, 20000};
    ::setsockopt(connection.Fd(), SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
    ::setsockopt(connection.Fd(), SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);

    context_ = SSL_CTX_new(TLS_server_method());
    if (max_version != 0) {
      SSL_CTX_set_security_level(context_, 0);
      SSL_CTX_set_min_proto_version(context_, 0);
      SSL_CTX_set_max_proto_version(context_, max_version);
      SSL_CTX_set_cipher_list(context_, "DEFAULT:@SECLEVEL=0");
    }
    SSL_CTX_use_certificate(context_, identity.certificate.get());
    SSL_CTX_use_PrivateKey(context_, identity.key.get());
    ssl_ = SSL_new(context_);
    SSL_set_fd(ssl_, connection.Fd());
    accepted_ = Repeat([this] { return SSL_accept(ssl_); }) == 1;
  }
  ~CTestTlsSession() {
    SSL_free(ssl_);
    SSL_CTX_free(context_);
    ERR_clear_error();
  }
  CTestTlsSession(const CTestTlsSession&) = delete;
  CTestTlsSession& operator=(const CTestTlsSession&) = delete;

  bool Accepted() const { return accepted_; }
  // The name the client asked for in its greeting (SNI); "" when it named none.
  std::string ServerName() const {
    const char* name = SSL_get_servername(ssl_, TLSEXT_NAMETYPE_host_name);
    return name != nullptr ? name : "";
  }

  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const int n =
          Repeat([&] { return SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())); });
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  // Everything up to and including the terminator; nothing on close, stop or time-out.
  std::optional<std::string> ReadUntil(std::string_view terminator) {
    for (;;) {
      const std::size_t at = buffer_.find(terminator);
      if (at != std::string::npos) {
        std::string out = buffer_.substr(0, at + terminator.size());
        buffer_.erase(0, at + terminator.size());
        return out;
      }
      if (!Fill()) return std::nullopt;
    }
  }
  std::optional<std::string> ReadExactly(std::size_t count) {
    while (buffer_.size() < count) {
      if (!Fill()) return std::nullopt;
    }
    std::string out = buffer_.substr(0, count);
    buffer_.erase(0, count);
    return out;
  }

  // Reads until the client ends the session; true when it sent the TLS close notice.
  bool ReceivesCloseNotice() {
    while (Fill()) {
    }
    return (SSL_get_shutdown(ssl_) & SSL_RECEIVED_SHUTDOWN) != 0;
  }
  // Ends the session with the close notice, as a well-behaved server does.
  void SendCloseNotice() { SSL_shutdown(ssl_); }

 private:
  // Calls the step until it is done, the server stops or 10 s pass; its last result.
  template <typename Step>
  int Repeat(Step step) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      ERR_clear_error();
      const int result = step();
      if (result > 0) return result;
      const int error = SSL_get_error(ssl_, result);
      const bool again = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
      if (!again || connection_.Stopping() || std::chrono::steady_clock::now() >= deadline) {
        return result;
      }
    }
  }

  bool Fill() {
    char chunk[65536];
    const int n = Repeat([&] { return SSL_read(ssl_, chunk, sizeof chunk); });
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  CTestConnection& connection_;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  bool accepted_ = false;
  std::string buffer_;
};

}  // namespace larkspire
