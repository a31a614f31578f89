// An Ed25519 key made at test time, standing in for the publisher's, and manifests signed
// with it.
#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <fstream>
#include <string>
#include <string_view>

#include "net/Base64.h"
#include "support/OpenSslPointers.h"

namespace larkspire {

class CTestSigningKey {
 public:
  CTestSigningKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {}

  std::string PublicPem() const {
    return WrittenBy([this](BIO* bio) { return PEM_write_bio_PUBKEY(bio, key_.get()); });
  }
  std::string PublicRaw() const {
    unsigned char raw[32];
    std::size_t size = sizeof raw;
    EVP_PKEY_get_raw_public_key(key_.get(), raw, &size);
    return std::string(reinterpret_cast<const char*>(raw), size);
  }
  void WritePrivatePem(const std::string& path) const {
    std::ofstream(path, std::ios::binary) << WrittenBy([this](BIO* bio) {
      return PEM_write_bio_PrivateKey(bio, key_.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
  }

  std::string Sign(std::string_view message) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    unsigned char signature[64];
    std::size_t size = sizeof signature;
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_.get());
    EVP_DigestSign(context, signature, &size,
                   reinterpret_cast<const unsigned char*>(message.data()), message.size());
    EVP_MD_CTX_free(context);
    return std::string(reinterpret_cast<const char*>(signature), size);
  }
  // The signed lines followed by their signature line, as the publisher's tool writes them.
  std::string SignManifest(std::string_view body) const {
    return std::string(body) + "signature: " + Base64Encode(Sign(body)) + "\r\n";
  }

 private:
  template <typename Write>
  static std::string WrittenBy(Write write) {
    BIO* memory = BIO_new(BIO_s_mem());
    write(memory);
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory, &data);
    std::string text(data, static_cast<std::size_t>(size));
    BIO_free(memory);
    return text;
  }

  TestKey key_;
};

}  // namespace larkspire
