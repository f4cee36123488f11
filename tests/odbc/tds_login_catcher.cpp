#include "odbc/tds_login_catcher.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "dataaccess/odbc/utf16.h"
#include "odbc/loopback.h"

namespace leafward::testing {
namespace {

constexpr std::uint8_t kPreLogin = 0x12;
constexpr std::uint8_t kLogin7 = 0x10;
constexpr std::uint8_t kReply = 0x04;

bool readExactly(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    const ssize_t got = recv(fd, data + done, size - done, 0);
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

// One TDS packet: its type and payload.
bool readPacket(int fd, std::uint8_t& type, std::vector<std::uint8_t>& payload) {
  std::uint8_t header[8];
  if (!readExactly(fd, header, sizeof header)) return false;
  type = header[0];
  const std::size_t length = (std::size_t{header[2]} << 8) | header[3];
  if (length < 8) return false;
  payload.resize(length - 8);
  return readExactly(fd, payload.data(), payload.size());
}

void sendPreLoginReply(int fd) {
  // Options: VERSION (6 bytes) and ENCRYPTION = not supported, then the terminator.
  const std::vector<std::uint8_t> payload = {0x00, 0x00, 0x0B, 0x00, 0x06,  // VERSION
                                             0x01, 0x00, 0x11, 0x00, 0x01,  // ENCRYPTION
                                             0xFF, 0x0F, 0x00, 0x07, 0xD0, 0x00, 0x00, 0x02};
  std::vector<std::uint8_t> packet = {kReply, 0x01, 0, 0, 0, 0, 1, 0};
  const std::size_t length = packet.size() + payload.size();
  packet[2] = static_cast<std::uint8_t>(length >> 8);
  packet[3] = static_cast<std::uint8_t>(length & 0xFF);
  packet.insert(packet.end(), payload.begin(), payload.end());
  send(fd, packet.data(), packet.size(), MSG_NOSIGNAL);
}

std::uint16_t le16(const std::vector<std::uint8_t>& data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

// A UTF-16 field of the login record, given by the offset/length pair at `entry`. The password
// is scrambled: each byte's nibbles swapped and then XORed with 0xA5.
std::string field(const std::vector<std::uint8_t>& login, std::size_t entry, bool scrambled) {
  const std::size_t offset = le16(login, entry);
  const std::size_t units = le16(login, entry + 2);
  if (offset + units * 2 > login.size()) return "<out of range>";
  std::u16string text;
  for (std::size_t i = 0; i < units; ++i) {
    std::uint8_t low = login[offset + 2 * i];
    std::uint8_t high = login[offset + 2 * i + 1];
    if (scrambled) {
      const auto unscramble = [](std::uint8_t b) {
        b ^= 0xA5;
        return static_cast<std::uint8_t>((b << 4) | (b >> 4));
      };
      low = unscramble(low);
      high = unscramble(high);
    }
    text += static_cast<char16_t>(low | (high << 8));
  }
  return odbc::utf8FromUtf16(text);
}

}  // namespace

TdsLoginCatcher::TdsLoginCatcher() : listener_(listenOnLoopback(port_)) {
  thread_ = std::thread([this] { serve(); });
}

TdsLoginCatcher::~TdsLoginCatcher() {
  if (thread_.joinable()) thread_.join();
  close(listener_);
}

CaughtLogin TdsLoginCatcher::login() {
  if (thread_.joinable()) thread_.join();
  return login_;
}

void TdsLoginCatcher::serve() {
  pollfd entry{listener_, POLLIN, 0};
  if (poll(&entry, 1, 10000) <= 0) return;
  const int client = accept(listener_, nullptr, nullptr);
  if (client < 0) return;
  std::uint8_t type = 0;
  std::vector<std::uint8_t> payload;
  if (readPacket(client, type, payload) && type == kPreLogin) {
    sendPreLoginReply(client);
    if (readPacket(client, type, payload) && type == kLogin7 && payload.size() >= 94) {
      login_.received = true;
      login_.user = field(payload, 40, false);
      login_.password = field(payload, 44, true);
      login_.application = field(payload, 48, false);
      login_.server = field(payload, 52, false);
      login_.database = field(payload, 68, false);
    }
  }
  close(client);
}

}  // namespace leafward::testing
