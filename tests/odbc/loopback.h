#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace leafward::testing {

// A TCP port on 127.0.0.1 that nothing listens on (bound once, then released).
std::uint16_t closedLoopbackPort();

// Accepts connections on 127.0.0.1 and never answers, like a server that hangs.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::uint16_t port() const { return port_; }

 private:
  std::uint16_t port_ = 0;  // set by the listener's creation, so declared before it
  int listener_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A listening TCP socket on 127.0.0.1 with a free port; throws std::runtime_error.
int listenOnLoopback(std::uint16_t& port);

}  // namespace leafward::testing
