#pragma once

// The BSD socket calls the loopback helpers use, on POSIX and on Windows (Winsock), for tests.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <cstddef>

namespace leafward::testing {
using SocketLength = int;
inline void closeSocket(SOCKET socket) {
  closesocket(socket);
}
// Winsock is started once for the test program.
inline void startSockets() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
inline int pollSockets(WSAPOLLFD* entries, unsigned long count, int milliseconds) {
  return WSAPoll(entries, count, milliseconds);
}
using PollEntry = WSAPOLLFD;
inline int sendBytes(SOCKET socket, const void* data, std::size_t size) {
  return send(socket, static_cast<const char*>(data), static_cast<int>(size), 0);
}
inline int receiveBytes(SOCKET socket, void* into, std::size_t size) {
  return recv(socket, static_cast<char*>(into), static_cast<int>(size), 0);
}
inline void shutdownSocket(SOCKET socket) {
  shutdown(socket, SD_BOTH);
}
}  // namespace leafward::testing
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstddef>

namespace leafward::testing {
using SOCKET = int;
using SocketLength = socklen_t;
inline void closeSocket(int socket) {
  ::close(socket);
}
inline void startSockets() {}
inline int pollSockets(pollfd* entries, nfds_t count, int milliseconds) {
  return ::poll(entries, count, milliseconds);
}
using PollEntry = pollfd;
// A peer that has left makes the send fail rather than end the test program.
inline long sendBytes(int socket, const void* data, std::size_t size) {
  return ::send(socket, data, size, MSG_NOSIGNAL);
}
inline long receiveBytes(int socket, void* into, std::size_t size) {
  return ::recv(socket, into, size, 0);
}
inline void shutdownSocket(int socket) {
  ::shutdown(socket, SHUT_RDWR);
}
}  // namespace leafward::testing
#endif
