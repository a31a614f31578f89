#include "net/NameLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace larkspire {
namespace {

constexpr int kWaitSliceMs = 50;

std::mutex& ResolverMutex() {
  static std::mutex mutex;
  return mutex;
}

NameResolver& TestResolver() {
  static NameResolver resolver;
  return resolver;
}

NameResolver CurrentResolver() {
  std::lock_guard<std::mutex> lock(ResolverMutex());
  return TestResolver() ? TestResolver() : NameResolver(ResolveName);
}

// What the resolver thread and the waiting connection share; whichever lets go last frees it.
struct CLookupState {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  std::vector<CSocketAddress> addresses;
};

}  // namespace

std::string CSocketAddress::Text() const {
  char text[INET6_ADDRSTRLEN] = "";
  if (Family() == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr, text,
                sizeof text);
  } else {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr, text,
                sizeof text);
  }
  return text;
}

void CSocketAddress::SetPort(int port) {
  const uint16_t network_port = htons(static_cast<uint16_t>(port));
  if (Family() == AF_INET6) {
    reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = network_port;
  } else {
    reinterpret_cast<sockaddr_in*>(&storage)->sin_port = network_port;
  }
}

std::optional<CSocketAddress> LiteralAddress(const std::string& host) {
  CSocketAddress address;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
  if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    address.length = sizeof(sockaddr_in);
    return address;
  }
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
  if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    address.length = sizeof(sockaddr_in6);
    return address;
  }
  return std::nullopt;
}

std::vector<CSocketAddress> ResolveName(const std::string& name) {
  std::vector<CSocketAddress> addresses;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return addresses;
  for (const addrinfo* item = found; item != nullptr; item = item->ai_next) {
    if (item->ai_family != AF_INET && item->ai_family != AF_INET6) continue;
    if (item->ai_addrlen > sizeof(sockaddr_storage)) continue;
    CSocketAddress address;
    std::memcpy(&address.storage, item->ai_addr, item->ai_addrlen);
    address.length = item->ai_addrlen;
    addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return addresses;
}

std::optional<std::vector<CSocketAddress>> ResolveUnlessStopped(const std::string& name,
                                                                const std::function<bool()>& stop) {
  auto state = std::make_shared<CLookupState>();
  try {
    std::thread([state, name, resolver = CurrentResolver()] {
      std::vector<CSocketAddress> addresses = resolver(name);
      std::lock_guard<std::mutex> lock(state->mutex);
      state->addresses = std::move(addresses);
      state->done = true;
      state->done_cv.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the look-up runs here and cannot be abandoned.
    return CurrentResolver()(name);
  }
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(state->mutex);
      if (state->done_cv.wait_for(lock, std::chrono::milliseconds(kWaitSliceMs),
                                  [&] { return state->done; })) {
        return std::move(state->addresses);
      }
    }
    if (stop()) return std::nullopt;
  }
}

void SetNameResolverForTesting(NameResolver resolver) {
  std::lock_guard<std::mutex> lock(ResolverMutex());
  TestResolver() = std::move(resolver);
}

}  // namespace larkspire
