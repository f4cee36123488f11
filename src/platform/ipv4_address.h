#pragma once

#include <cstdint>
#include <string>

// The socket headers of this system; inside the platform layer only.
#ifdef _WIN32
// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

namespace leafward::platform {

// The IPv4 address of `host` (a dotted address or a name) at `port`. Throws SystemError
// (Failure::NotFound) when the name does not resolve.
sockaddr_in ipv4AddressOf(const std::string& host, std::uint16_t port);

}  // namespace leafward::platform
