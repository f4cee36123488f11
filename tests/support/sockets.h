#pragma once

// The BSD socket calls the loopback helpers use, on POSIX and on Windows (Winsock), for tests.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

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
}  // namespace leafward::testing
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
}  // namespace leafward::testing
#endif
