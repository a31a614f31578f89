#include "net/Signature.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace larkspire {
namespace {

constexpr std::size_t kEd25519KeyBytes = 32;
constexpr std::size_t kEd25519SignatureBytes = 64;

struct FreeKey {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeDigestContext {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, FreeKey>;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

KeyPtr ReadPublicKey(std::string_view text) {
  if (text.size() == kEd25519KeyBytes && text.rfind("-----", 0) != 0) {
    return KeyPtr(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, Bytes(text), text.size()));
  }
  BIO* memory = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
  if (memory == nullptr) return nullptr;
  KeyPtr key(PEM_read_bio_PUBKEY(memory, nullptr, nullptr, nullptr));
  BIO_free(memory);
  return key;
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    ERR_clear_error();
    return "";
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0f];
  }
  return hex;
}

SignatureCheck VerifyEd25519(std::string_view message, std::string_view signature,
                             std::string_view public_key) {
  const KeyPtr key = ReadPublicKey(public_key);
  // Only the publisher's kind of key: a key of another algorithm must not slip through.
  if (key == nullptr || EVP_PKEY_is_a(key.get(), "ED25519") != 1) {
    ERR_clear_error();
    return SignatureCheck::kBadKey;
  }
  if (signature.size() != kEd25519SignatureBytes) return SignatureCheck::kInvalid;
  const std::unique_ptr<EVP_MD_CTX, FreeDigestContext> context(EVP_MD_CTX_new());
  const bool valid =
      context != nullptr &&
      EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
      EVP_DigestVerify(context.get(), Bytes(signature), signature.size(), Bytes(message),
                       message.size()) == 1;
  ERR_clear_error();
  return valid ? SignatureCheck::kValid : SignatureCheck::kInvalid;
}

}  // namespace larkspire
