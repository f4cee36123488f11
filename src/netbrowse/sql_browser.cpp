#include "netbrowse/sql_browser.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace leafward::netbrowse {
namespace {

constexpr std::uint8_t kServerResponse = 0x05;  // SVR_RESP
constexpr std::size_t kMaxNamesPerAnswer = 256;
constexpr std::size_t kMaxNames = 1024;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

bool contains(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(),
                     [name](const std::string& known) { return equalsIgnoringCase(known, name); });
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    if (at == std::string_view::npos) {
      parts.push_back(text);
      return parts;
    }
    parts.push_back(text.substr(0, at));
    text.remove_prefix(at + separator.size());
  }
}

// One record: "ServerName;X;InstanceName;Y;IsClustered;No;Version;...;tcp;1433". Returns the
// display name, or nothing for a record without a usable server name.
std::string nameOfRecord(std::string_view record) {
  const std::vector<std::string_view> fields = split(record, ";");
  if (fields.size() % 2 != 0) return {};
  std::string_view server;
  std::string_view instance;
  for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
    if (equalsIgnoringCase(fields[i], "ServerName")) server = fields[i + 1];
    if (equalsIgnoringCase(fields[i], "InstanceName")) instance = fields[i + 1];
  }
  const auto usable = [](std::string_view part) {
    return part.find('\\') == std::string_view::npos && part.find(' ') == std::string_view::npos;
  };
  if (server.empty() || !usable(server) || !usable(instance)) return {};
  if (instance.empty() || equalsIgnoringCase(instance, "MSSQLSERVER")) return std::string(server);
  return std::string(server) + "\\" + std::string(instance);
}

class UdpSocket {
 public:
  UdpSocket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
  ~UdpSocket() {
    if (fd_ >= 0) close(fd_);
  }
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

sockaddr_in resolve(const BrowseRequest& request) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(request.port);
  if (inet_pton(AF_INET, request.address.c_str(), &target.sin_addr) == 1) return target;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(request.address.c_str(), nullptr, &hints, &found) != 0 || !found) {
    throw BrowseError("Cannot find the network address " + request.address);
  }
  target.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return target;
}

[[noreturn]] void fail(const std::string& what) {
  throw BrowseError(what + ": " + std::strerror(errno));
}

}  // namespace

std::vector<std::string> parseBrowserAnswer(std::span<const std::uint8_t> datagram) {
  if (datagram.size() < 3 || datagram[0] != kServerResponse) return {};
  const std::size_t length = datagram[1] | (std::size_t{datagram[2]} << 8);
  if (length == 0 || length != datagram.size() - 3) return {};
  const std::span<const std::uint8_t> body = datagram.subspan(3);
  if (!std::all_of(body.begin(), body.end(),
                   [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; })) {
    return {};
  }
  const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
  std::vector<std::string> names;
  for (std::string_view record : split(text, ";;")) {
    if (record.empty()) continue;
    std::string name = nameOfRecord(record);
    if (!name.empty() && !contains(names, name)) names.push_back(std::move(name));
    if (names.size() >= kMaxNamesPerAnswer) break;
  }
  return names;
}

std::vector<std::string> findSqlServers(const BrowseRequest& request,
                                        const std::function<void(const std::string&)>& onFound,
                                        std::stop_token stop) {
  const sockaddr_in target = resolve(request);
  UdpSocket udp;
  if (udp.fd() < 0) fail("Cannot open a network socket");
  const int yes = 1;
  if (setsockopt(udp.fd(), SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes) != 0) {
    fail("Cannot broadcast on the network");
  }
  const std::uint8_t message = kBrowseRequest;
  if (sendto(udp.fd(), &message, 1, 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) !=
      1) {
    fail("Cannot ask " + request.address + " for SQL Servers");
  }

  std::vector<std::string> names;
  std::vector<std::uint8_t> buffer(65536);
  const auto deadline = std::chrono::steady_clock::now() + request.wait;
  while (!stop.stop_requested() && names.size() < kMaxNames) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    // Short slices, so that a stop request is noticed quickly.
    pollfd entry{udp.fd(), POLLIN, 0};
    const int ready = poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
    if (ready < 0 && errno != EINTR) fail("Cannot receive answers");
    if (ready <= 0) continue;
    const ssize_t got = recv(udp.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (got <= 0) continue;  // ICMP errors from silent addresses come back as failed reads
    for (std::string& name :
         parseBrowserAnswer(std::span(buffer.data(), static_cast<std::size_t>(got)))) {
      if (contains(names, name) || names.size() >= kMaxNames) continue;
      names.push_back(name);
      if (onFound) onFound(names.back());
    }
  }
  return names;
}

}  // namespace leafward::netbrowse
