#include "platform/udp_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ipv4_address.h"
#include "platform/posix/errors.h"

namespace leafward::platform {
namespace {

int fdOf(std::intptr_t socket) {
  return static_cast<int>(socket);
}

}  // namespace

UdpSocket::UdpSocket() : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  if (socket_ < 0) failWith("cannot open", "a network socket", errno);
}

UdpSocket::~UdpSocket() {
  if (socket_ >= 0) ::close(fdOf(socket_));
}

void UdpSocket::enableBroadcast() {
  const int yes = 1;
  if (::setsockopt(fdOf(socket_), SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes) != 0) {
    failWith("cannot broadcast on", "the network", errno);
  }
}

void UdpSocket::sendTo(const std::string& host, std::uint16_t port,
                       std::span<const std::uint8_t> bytes) {
  const sockaddr_in target = ipv4AddressOf(host, port);
  const ssize_t sent = ::sendto(fdOf(socket_), bytes.data(), bytes.size(), 0,
                                reinterpret_cast<const sockaddr*>(&target), sizeof target);
  if (sent != static_cast<ssize_t>(bytes.size())) failWith("cannot send to", host, errno);
}

std::optional<std::size_t> UdpSocket::receive(std::span<std::uint8_t> buffer,
                                              std::chrono::milliseconds wait) {
  pollfd entry{fdOf(socket_), POLLIN, 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(wait.count()));
  if (ready < 0 && errno != EINTR) failWith("cannot receive from", "the network", errno);
  if (ready <= 0) return std::nullopt;
  const ssize_t got = ::recv(fdOf(socket_), buffer.data(), buffer.size(), MSG_DONTWAIT);
  // An error report (ICMP) about an earlier send arrives as a failed read.
  if (got < 0) return std::nullopt;
  return static_cast<std::size_t>(got);
}

}  // namespace leafward::platform
