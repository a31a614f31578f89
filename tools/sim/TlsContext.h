// The server side of TLS for the simulated Open Data Portal and the benchmarks' SMTP sink: a
// certificate chain and its key, as PEM files (tools/sim/make-test-ca.sh makes a test CA and a
// certificate for 127.0.0.1).
#pragma once

#include <openssl/ssl.h>

#include <string>

namespace larkspire::sim {

class CTlsContext {
 public:
  CTlsContext() = default;
  ~CTlsContext();
  CTlsContext(const CTlsContext&) = delete;
  CTlsContext& operator=(const CTlsContext&) = delete;

  // Returns "" or why the certificate or key cannot be used.
  std::string Load(const std::string& certificate_path, const std::string& key_path);
  SSL_CTX* Get() const { return context_; }

 private:
  SSL_CTX* context_ = nullptr;
};

}  // namespace larkspire::sim
