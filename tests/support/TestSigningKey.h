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
#include "net/Signature.h"
#include "support/OpenSslPointers.h"

namespace larkspire {

// The signed lines of a manifest for the bytes, with the fields given.
inline std::string ManifestBody(std::string_view kind, std::string_view version,
                                std::string_view file, std::string_view bytes) {
  return "larkspire-manifest: 1\r\nkind: " + std::string(kind) +
         "\r\nversion: " + std::string(version) + "\r\nfile: " + std::string(file) +
         "\r\nsize: " + std::to_string(bytes.size()) + "\r\nsha256: " + Sha256Hex(bytes) + "\r\n";
}

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
  // The whole manifest of the bytes, served under the name file.
  std::string ManifestOf(std::string_view kind, std::string_view version, std::string_view file,
                         std::string_view bytes) const {
    return SignManifest(ManifestBody(kind, version, file, bytes));
  }
  // Writes the bytes to path and their manifest beside them (path + ".manifest"), as the
  // publisher's signing tool leaves a release.
  void WriteSigned(const std::string& path, std::string_view kind, std::string_view version,
                   std::string_view bytes) const {
    std::ofstream(path, std::ios::binary) << bytes;
    std::ofstream(path + ".manifest", std::ios::binary)
        << ManifestOf(kind, version, path.substr(path.rfind('/') + 1), bytes);
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
