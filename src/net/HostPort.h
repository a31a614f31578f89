// A server as the settings and addresses write it: "host", "host:port", and for an IPv6
// literal "[address]" or "[address]:port" (the brackets keep its colons from reading as the
// port's).
#pragma once

#include <string>
#include <string_view>

namespace larkspire {

struct CHostPort {
  std::string host;  // without brackets
  long port = 0;
};

// Without brackets the port is the decimal number after the first ':' and the host the text
// before it; a text that starts with '[' and holds a ']' has the host between them and the
// port after a ':' that follows the ']'. Without a port the default applies; a port that is no
// number or lies outside 0 to 65535 reads as 0.
CHostPort SplitHostPort(std::string_view text, int default_port);

}  // namespace larkspire
