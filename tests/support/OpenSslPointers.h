// Owning pointers for the OpenSSL objects the tests make.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>

namespace larkspire {

struct FreeKey {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCertificate {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using TestKey = std::unique_ptr<EVP_PKEY, FreeKey>;
using TestCertificatePtr = std::unique_ptr<X509, FreeCertificate>;

}  // namespace larkspire
