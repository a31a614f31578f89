#include <gtest/gtest.h>
#include <openssl/pem.h>

#include <string>

#include "net/Signature.h"
#include "support/OpenSslPointers.h"
#include "support/TestSigningKey.h"

namespace larkspire {
namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

TEST(Sha256, PublishedVectorsAndBytesPastANul) {
  const struct {
    std::string bytes;
    const char* hex;
  } cases[] = {
      // FIPS 180-2 examples.
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
  };
  for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.bytes), c.hex) << c.bytes;
  // Every byte counts, a NUL and what follows it too.
  EXPECT_NE(Sha256Hex(std::string("abc\0d", 5)), Sha256Hex(std::string("abc\0e", 5)));
  EXPECT_NE(Sha256Hex(std::string("abc\0", 4)), Sha256Hex("abc"));
}

TEST(Ed25519, PublishedVectorVerifiesWithTheRawKey) {
  // RFC 8032, section 7.1, test 1 (empty message) and test 2 (one byte).
  const std::string key1 =
      FromHex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  const std::string signature1 = FromHex(
      "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
      "1cf9b46bd25bf5f0595bbe24655141438e7a100b");
  const std::string key2 =
      FromHex("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
  const std::string signature2 = FromHex(
      "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613"
      "d0f11d8c387b2eaeb4302aeeb00d291612bb0c00");
  EXPECT_EQ(VerifyEd25519("", signature1, key1), SignatureCheck::kValid);
  EXPECT_EQ(VerifyEd25519("\x72", signature2, key2), SignatureCheck::kValid);
  EXPECT_EQ(VerifyEd25519("\x72", signature1, key1), SignatureCheck::kInvalid);
  EXPECT_EQ(VerifyEd25519("\x72", signature2, key1), SignatureCheck::kInvalid);
}

TEST(Ed25519, OnlyTheUnchangedMessageUnderTheSigningKeyVerifies) {
  const CTestSigningKey key;
  const CTestSigningKey other;
  const std::string message = "kind: rules\r\nversion: 4.2.05\r\n";
  const std::string signature = key.Sign(message);
  std::string changed_message = message;
  changed_message[8] ^= 0x01;
  std::string changed_signature = signature;
  changed_signature[40] ^= 0x01;
  const struct {
    const char* name;
    std::string message;
    std::string signature;
    std::string key;
    SignatureCheck check;
  } cases[] = {
      {"PEM key", message, signature, key.PublicPem(), SignatureCheck::kValid},
      {"raw key", message, signature, key.PublicRaw(), SignatureCheck::kValid},
      {"one bit of the message", changed_message, signature, key.PublicPem(),
       SignatureCheck::kInvalid},
      {"one bit of the signature", message, changed_signature, key.PublicPem(),
       SignatureCheck::kInvalid},
      {"another key", message, signature, other.PublicPem(), SignatureCheck::kInvalid},
      {"another key's signature", message, other.Sign(message), key.PublicPem(),
       SignatureCheck::kInvalid},
      {"signature cut short", message, signature.substr(0, 63), key.PublicPem(),
       SignatureCheck::kInvalid},
      {"signature too long", message, signature + "x", key.PublicPem(), SignatureCheck::kInvalid},
      {"no signature", message, "", key.PublicPem(), SignatureCheck::kInvalid},
      {"message with a line more", message + "x\r\n", signature, key.PublicPem(),
       SignatureCheck::kInvalid},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VerifyEd25519(c.message, c.signature, c.key), c.check) << c.name;
  }
}

TEST(Ed25519, KeysThatAreNotEd25519PublicKeysAreRefused) {
  const CTestSigningKey key;
  const std::string signature = key.Sign("m");
  const TestKey elliptic(EVP_EC_gen("P-256"));
  BIO* memory = BIO_new(BIO_s_mem());
  PEM_write_bio_PUBKEY(memory, elliptic.get());
  char* data = nullptr;
  const long size = BIO_get_mem_data(memory, &data);
  const std::string elliptic_pem(data, static_cast<std::size_t>(size));
  BIO_free(memory);
  std::string damaged_pem = key.PublicPem();
  damaged_pem[30] = '!';
  for (const std::string& bad : {std::string(), std::string("not a key"), key.PublicRaw() + "x",
                                 key.PublicRaw().substr(1), elliptic_pem, damaged_pem}) {
    EXPECT_EQ(VerifyEd25519("m", signature, bad), SignatureCheck::kBadKey) << bad;
  }
}

}  // namespace
}  // namespace larkspire
