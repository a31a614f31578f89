// Base64 (RFC 4648 alphabet) for SMTP AUTH LOGIN, HTTP basic credentials and the stored form
// of the SMTP password.
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

// Standard encoding of the bytes, padded with '=', no line breaks.
std::string Base64Encode(std::string_view bytes);
// Lenient decoding in groups of four: characters outside the alphabet (and '=', and positions
// past the end) count as zero bits and shorten the group's output.
std::string Base64Decode(std::string_view text);

}  // namespace larkspire
