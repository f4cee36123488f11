#include "odbc/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace leafward::testing {

int listenOnLoopback(std::uint16_t& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    throw std::runtime_error("cannot listen on loopback");
  }
  port = ntohs(address.sin_port);
  return fd;
}

std::uint16_t closedLoopbackPort() {
  std::uint16_t port = 0;
  close(listenOnLoopback(port));
  return port;
}

SilentServer::SilentServer() : listener_(listenOnLoopback(port_)) {
  thread_ = std::thread([this] {
    std::vector<int> accepted;
    while (!stop_) {
      pollfd entry{listener_, POLLIN, 0};
      if (poll(&entry, 1, 50) > 0) {
        const int client = accept(listener_, nullptr, nullptr);
        if (client >= 0) accepted.push_back(client);
      }
    }
    for (int client : accepted) close(client);
  });
}

SilentServer::~SilentServer() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

}  // namespace leafward::testing
