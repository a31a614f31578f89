// Digests and signature checks for the publisher's files, done by OpenSSL: no cryptography of
// our own.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// The SHA-256 digest of the bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

enum class SignatureCheck {
  kValid,
  kInvalid,  // not a signature of these bytes by this key
  kBadKey,   // the key is neither an Ed25519 public key in PEM nor its 32 raw bytes
};

// Checks a detached Ed25519 signature (64 bytes) of message. The public key is PEM text
// ("-----BEGIN PUBLIC KEY-----", as `openssl pkey -pubout` writes it) or the raw 32 bytes.
SignatureCheck VerifyEd25519(std::string_view message, std::string_view signature,
                             std::string_view public_key);

}  // namespace larkspire
