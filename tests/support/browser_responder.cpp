#include "support/browser_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace leafward::testing {

Bytes answer(std::string_view text) {
  Bytes bytes = {0x05, static_cast<std::uint8_t>(text.size() & 0xFF),
                 static_cast<std::uint8_t>(text.size() >> 8)};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

Responder::Responder(std::vector<Bytes> answers) : answers_(std::move(answers)) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

Responder::~Responder() {
  thread_.join();
  close(fd_);
}

void Responder::serve() {
  pollfd entry{fd_, POLLIN, 0};
  if (poll(&entry, 1, 5000) <= 0) return;
  sockaddr_in from{};
  socklen_t length = sizeof from;
  Bytes request(64);
  const ssize_t got =
      recvfrom(fd_, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
  request.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  request_ = request;
  for (const Bytes& bytes : answers_) {
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
  }
}

}  // namespace leafward::testing
