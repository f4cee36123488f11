#pragma once

#include <cstdint>

namespace leafward::testing {

// A listening TCP socket on 127.0.0.1 with a free port; throws std::runtime_error. Until it
// is closed, connections to it complete but nothing ever answers them, like a hung server.
int listenOnLoopback(std::uint16_t& port);

// A TCP port on 127.0.0.1 that nothing listens on (bound once, then released).
std::uint16_t closedLoopbackPort();

}  // namespace leafward::testing
