// The publisher's Ed25519 public key. Only manifests signed with its private key, which is
// kept by the publisher and never enters this repository, vouch for a downloaded rules file or
// program. Replacing the key means a release signed with the old one that carries the new one.
#pragma once

#include <string_view>

namespace larkspire {

inline constexpr std::string_view kPublisherPublicKey =
    "-----BEGIN PUBLIC KEY-----\n"
    "MCowBQYDK2VwAyEAjwVvSdRFrh06lWJT6L8cMXHO3PqmZ/gso8WHuz+D8eQ=\n"
    "-----END PUBLIC KEY-----\n";

}  // namespace larkspire
