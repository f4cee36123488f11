#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace leafward::platform {

// An IPv4 UDP socket, closed when the object goes. Failures throw SystemError.
class UdpSocket {
 public:
  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  void enableBroadcast();
  // Sends one datagram to `host` (an IPv4 address or a name) at `port`.
  void sendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes);
  // Waits up to `wait` for one datagram and returns its length; nothing when none came (or
  // when what came was an error report from the network about an earlier send).
  std::optional<std::size_t> receive(std::span<std::uint8_t> buffer,
                                     std::chrono::milliseconds wait);

 private:
  std::intptr_t socket_ = -1;
};

}  // namespace leafward::platform
