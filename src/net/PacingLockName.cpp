#include "net/PacingLockName.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"

namespace larkspire {
namespace {

constexpr std::size_t kSaltBytes = 32;

std::string ToHex(const unsigned char* bytes, std::size_t length) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < length; ++i) {
    hex += kHex[bytes[i] >> 4];
    hex += kHex[bytes[i] & 0x0f];
  }
  return hex;
}

// A salt of the expected length, or "".
std::string ReadSalt(const std::string& path) {
  std::string salt;
  if (!ReadWholeFile(path, salt) || salt.size() != kSaltBytes * 2 + 1 || salt.back() != '\n') {
    return "";
  }
  salt.pop_back();
  return salt;
}

// Writes a new salt into a temporary file and links it under the salt's name, which fails when
// another process was first: the name never stands for a salt half written.
bool MakeSalt(const std::string& path) {
  unsigned char random[kSaltBytes + 6];
  if (RAND_bytes(random, sizeof random) != 1) {
    ERR_clear_error();
    return false;
  }
  const std::string text = ToHex(random, kSaltBytes) + "\n";
  const std::string temporary = path + "." + ToHex(random + kSaltBytes, 6);
  // Shared like the lock files: 0644 less the umask.
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && (::link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST);
  ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::string HmacSha256Hex(std::string_view key, std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
           reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest,
           &length) == nullptr) {
    ERR_clear_error();
    return "";
  }
  return ToHex(digest, length);
}

std::string PacingLockPath(const std::string& dir, std::string_view prefix, std::string_view key) {
  if (dir.empty()) return "";
  const std::string salt_path = JoinPath(dir, kPacingSaltFileName);
  std::string salt = ReadSalt(salt_path);
  if (salt.empty() && !FileExists(salt_path) && MakeSalt(salt_path)) salt = ReadSalt(salt_path);
  if (salt.empty()) return "";
  const std::string digest = HmacSha256Hex(salt, key);
  if (digest.empty()) return "";
  return JoinPath(dir, std::string(prefix) + digest.substr(0, 16) + ".lock");
}

}  // namespace larkspire
