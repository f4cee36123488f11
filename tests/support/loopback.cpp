#include "support/loopback.h"

#include <stdexcept>

#include "support/sockets.h"

namespace leafward::testing {

int listenOnLoopback(std::uint16_t& port) {
  startSockets();
  const SOCKET fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd == static_cast<SOCKET>(-1)) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SocketLength length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closeSocket(fd);
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(address.sin_port);
  // Socket handles are small numbers on Windows too.
  return static_cast<int>(fd);
}

std::uint16_t closedLoopbackPort() {
  std::uint16_t port = 0;
  closeSocket(static_cast<SOCKET>(listenOnLoopback(port)));
  return port;
}

}  // namespace leafward::testing
