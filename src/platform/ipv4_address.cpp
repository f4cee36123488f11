#include "platform/ipv4_address.h"

#include "platform/system_error.h"

namespace leafward::platform {

sockaddr_in ipv4AddressOf(const std::string& host, std::uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &target.sin_addr) == 1) return target;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
    throw SystemError(Failure::NotFound, "cannot find the network address " + host);
  }
  target.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return target;
}

}  // namespace leafward::platform
