#pragma once

#include <cstdint>
#include <string_view>
#include <thread>
#include <vector>

namespace leafward::testing {

using Bytes = std::vector<std::uint8_t>;

// A SQL Server Browser answer datagram around `text`.
Bytes answer(std::string_view text);

// A SQL Server Browser on 127.0.0.1: answers the first request it gets with the given
// datagrams, then falls silent.
class Responder {
 public:
  explicit Responder(std::vector<Bytes> answers);
  ~Responder();
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;

  std::uint16_t port() const { return port_; }
  // The request, once it came.
  const Bytes& request() const { return request_; }

 private:
  void serve();
  std::vector<Bytes> answers_;
  std::intptr_t fd_ = -1;  // a socket: a file descriptor, or a Winsock SOCKET
  std::uint16_t port_ = 0;
  Bytes request_;
  std::thread thread_;
};

}  // namespace leafward::testing
