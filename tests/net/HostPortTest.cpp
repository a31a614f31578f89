#include <gtest/gtest.h>

#include "net/HostPort.h"

namespace larkspire {
namespace {

TEST(SplitHostPort, ReadsNamesIpv4AndBracketedIpv6WithOrWithoutAPort) {
  const struct {
    const char* text;
    const char* host;
    long port;
  } cases[] = {
      {"mail.example", "mail.example", 25},
      {"mail.example:2525", "mail.example", 2525},
      {"127.0.0.1:8080", "127.0.0.1", 8080},
      {"[::1]:8080", "::1", 8080},
      {"[::1]", "::1", 25},
      {"[2001:db8::7]:587", "2001:db8::7", 587},
      {"[fe80::1%eth0]:80", "fe80::1%eth0", 80},
      // Whatever follows the bracket that is not a colon and a port is not a port.
      {"[::1]8080", "::1", 25},
      {"[::1]:", "::1", 0},
      // An open bracket alone does not make a literal: the first colon splits as always.
      {"[::1", "[", 0},
      {"::1", "", 0},
      {"host:", "host", 0},
      {"host:x", "host", 0},
      {"host:65535", "host", 65535},
      {"host:65536", "host", 0},
      {"host:99999999999999999999", "host", 0},
      {"", "", 25},
      {"[]:25", "", 25},
  };
  for (const auto& c : cases) {
    const CHostPort split = SplitHostPort(c.text, 25);
    EXPECT_EQ(split.host, c.host) << c.text;
    EXPECT_EQ(split.port, c.port) << c.text;
  }
}

}  // namespace
}  // namespace larkspire
