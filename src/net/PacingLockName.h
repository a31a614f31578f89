// The name of a key's pacing lock file in a shared directory (net/ApiPacing.h). Processes using
// the same key must find the same file, yet the name must not let anyone who lists the
// directory test guesses of the key: it is an HMAC-SHA256 of the key under a random salt kept
// in the directory, made once by whichever process comes first.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// The salt file's name in the directory.
inline constexpr const char* kPacingSaltFileName = "Larkspire_pacing.salt";

// dir/prefix + 16 hexadecimal digits of the keyed digest + ".lock"; "" when dir is "" or the
// salt can be neither read nor made (the caller then paces its own process only). The salt is
// read only from a regular file (a symbolic link is refused) and made as a new file, whole, with
// 0644 less the umask, so other users of the directory with the same key share it.
std::string PacingLockPath(const std::string& dir, std::string_view prefix, std::string_view key);

// The HMAC-SHA256 of bytes under key, as 64 lower-case hexadecimal digits ("" on failure).
std::string HmacSha256Hex(std::string_view key, std::string_view bytes);

}  // namespace larkspire
