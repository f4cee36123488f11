#include "support/browser_responder.h"

#include "support/sockets.h"

namespace leafward::testing {
namespace {

SOCKET asSocket(std::intptr_t fd) {
  return static_cast<SOCKET>(fd);
}

}  // namespace

Bytes answer(std::string_view text) {
  Bytes bytes = {0x05, static_cast<std::uint8_t>(text.size() & 0xFF),
                 static_cast<std::uint8_t>(text.size() >> 8)};
  for (const char c : text) bytes.push_back(static_cast<std::uint8_t>(c));
  return bytes;
}

Responder::Responder(std::vector<Bytes> answers) : answers_(std::move(answers)) {
  startSockets();
  fd_ = static_cast<std::intptr_t>(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  SocketLength length = sizeof address;
  bind(asSocket(fd_), reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(asSocket(fd_), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

Responder::~Responder() {
  thread_.join();
  closeSocket(asSocket(fd_));
}

void Responder::serve() {
  PollEntry entry{};
  entry.fd = asSocket(fd_);
  entry.events = POLLIN;
  if (pollSockets(&entry, 1, 5000) <= 0) return;
  sockaddr_in from{};
  SocketLength length = sizeof from;
  Bytes request(64);
  const auto got =
      recvfrom(asSocket(fd_), reinterpret_cast<char*>(request.data()),
               static_cast<int>(request.size()), 0, reinterpret_cast<sockaddr*>(&from), &length);
  request.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  request_ = request;
  for (const Bytes& bytes : answers_) {
    sendto(asSocket(fd_), reinterpret_cast<const char*>(bytes.data()),
           static_cast<int>(bytes.size()), 0, reinterpret_cast<sockaddr*>(&from), length);
  }
}

}  // namespace leafward::testing
