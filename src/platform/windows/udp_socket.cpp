#include "platform/udp_socket.h"

// winsock2.h must come before windows.h.
#include <mswsock.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/ipv4_address.h"
#include "platform/windows/errors.h"

namespace leafward::platform {
namespace {

SOCKET socketOf(std::intptr_t socket) {
  return static_cast<SOCKET>(socket);
}

[[noreturn]] void failOnNetwork(const std::string& what, const std::string& where) {
  const int error = WSAGetLastError();
  throw SystemError(Failure::Other,
                    what + " " + where + ": " + windowsErrorText(static_cast<DWORD>(error)));
}

// Winsock is started once for the program and left running until it ends.
void startWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw SystemError(Failure::Other, "cannot start Windows networking (Winsock)");
}

}  // namespace

UdpSocket::UdpSocket() {
  startWinsock();
  const SOCKET handle =
      WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (handle == INVALID_SOCKET) failOnNetwork("cannot open", "a network socket");
  socket_ = static_cast<std::intptr_t>(handle);
  // Windows reports a "port unreachable" answer to an earlier send as a failed receive of every
  // later datagram; the search wants to go on listening for the servers that do answer.
  BOOL report = FALSE;
  DWORD returned = 0;
  WSAIoctl(handle, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
           nullptr);
}

UdpSocket::~UdpSocket() {
  if (socket_ != -1) closesocket(socketOf(socket_));
}

void UdpSocket::enableBroadcast() {
  const BOOL yes = TRUE;
  if (setsockopt(socketOf(socket_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&yes),
                 sizeof yes) != 0) {
    failOnNetwork("cannot broadcast on", "the network");
  }
}

void UdpSocket::sendTo(const std::string& host, std::uint16_t port,
                       std::span<const std::uint8_t> bytes) {
  const sockaddr_in target = ipv4AddressOf(host, port);
  const int sent = sendto(socketOf(socket_), reinterpret_cast<const char*>(bytes.data()),
                          static_cast<int>(bytes.size()), 0,
                          reinterpret_cast<const sockaddr*>(&target), sizeof target);
  if (sent != static_cast<int>(bytes.size())) failOnNetwork("cannot send to", host);
}

std::optional<std::size_t> UdpSocket::receive(std::span<std::uint8_t> buffer,
                                              std::chrono::milliseconds wait) {
  WSAPOLLFD entry{};
  entry.fd = socketOf(socket_);
  entry.events = POLLRDNORM;
  const int ready = WSAPoll(&entry, 1, static_cast<INT>(wait.count()));
  if (ready < 0) failOnNetwork("cannot receive from", "the network");
  if (ready == 0) return std::nullopt;
  const int got = recv(socketOf(socket_), reinterpret_cast<char*>(buffer.data()),
                       static_cast<int>(buffer.size()), 0);
  // A datagram longer than the buffer is cut short, as elsewhere.
  if (got < 0 && WSAGetLastError() == WSAEMSGSIZE) return buffer.size();
  // An error report about an earlier send.
  if (got < 0) return std::nullopt;
  return static_cast<std::size_t>(got);
}

}  // namespace leafward::platform
