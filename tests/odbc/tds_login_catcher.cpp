#include "odbc/tds_login_catcher.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "dataaccess/odbc/utf16.h"
#include "support/loopback.h"

namespace leafward::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One TDS packet's payload, when it has the given type.
bool readPacket(int fd, std::uint8_t type, Bytes& payload) {
  Bytes data(8);
  std::size_t done = 0;
  while (done < data.size()) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 5000) <= 0) return false;
    const ssize_t got = recv(fd, data.data() + done, data.size() - done, 0);
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
    if (done == 8) data.resize(std::max<std::size_t>(8, (std::size_t{data[2]} << 8) | data[3]));
  }
  payload.assign(data.begin() + 8, data.end());
  return data[0] == type;
}

// A UTF-16 field of the login record, given by the offset/length pair at `entry`. The password
// is scrambled: each byte XORed with 0xA5 after its nibbles were swapped.
std::string field(const Bytes& login, std::size_t entry, bool scrambled) {
  const std::size_t offset = login[entry] | (login[entry + 1] << 8);
  const std::size_t units = login[entry + 2] | (login[entry + 3] << 8);
  if (offset + units * 2 > login.size()) return "<out of range>";
  std::u16string text;
  for (std::size_t i = offset; i < offset + units * 2; i += 2) {
    std::uint8_t low = login[i], high = login[i + 1];
    if (scrambled) {
      low ^= 0xA5, high ^= 0xA5;
      low = static_cast<std::uint8_t>((low << 4) | (low >> 4));
      high = static_cast<std::uint8_t>((high << 4) | (high >> 4));
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
  Bytes payload;
  if (readPacket(client, 0x12, payload)) {  // pre-login
    // A reply packet: VERSION, ENCRYPTION = not supported, the terminator.
    const Bytes reply = {0x04, 0x01, 0x00, 0x1A, 0x00, 0x00, 0x01, 0x00, 0x00,
                         0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00, 0x01,
                         0xFF, 0x0F, 0x00, 0x07, 0xD0, 0x00, 0x00, 0x02};
    send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    if (readPacket(client, 0x10, payload) && payload.size() >= 94) {  // login 7
      login_ = {true,
                field(payload, 40, false),
                field(payload, 44, true),
                field(payload, 48, false),
                field(payload, 52, false),
                field(payload, 68, false)};
    }
  }
  close(client);
}

}  // namespace leafward::testing
