// Turning a host into the addresses to connect to. A literal (dotted IPv4 or IPv6) is used as it
// is; a name goes to the system's resolver, which may take many seconds and cannot be
// interrupted, so it runs on a thread of its own that the connection can walk away from when
// its task is cancelled.
#pragma once

#include <sys/socket.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace larkspire {

// One address, in the form connect takes; the port is set by SetPort.
struct CSocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int Family() const { return storage.ss_family; }
  // "192.0.2.1" or "2001:db8::1".
  std::string Text() const;
  void SetPort(int port);
};

// The address of a dotted IPv4 or an IPv6 literal; nothing for anything else.
std::optional<CSocketAddress> LiteralAddress(const std::string& host);

// Every IPv4 and IPv6 address the name resolves to, in the resolver's order; empty when it does
// not resolve. Blocks for as long as the resolver takes.
using NameResolver = std::function<std::vector<CSocketAddress>(const std::string& name)>;
std::vector<CSocketAddress> ResolveName(const std::string& name);

// The resolver's answer, waited for in 50 ms slices; nothing as soon as stop() says so. An
// abandoned look-up ends on its own thread whenever the resolver returns, and its answer is
// dropped.
std::optional<std::vector<CSocketAddress>> ResolveUnlessStopped(const std::string& name,
                                                                const std::function<bool()>& stop);

// Tests put a resolver of their own in place (a slow one, one that knows IPv6 addresses only);
// an empty function puts the system's back. Only while no look-up runs.
void SetNameResolverForTesting(NameResolver resolver);

}  // namespace larkspire
