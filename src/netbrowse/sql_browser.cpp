#include "netbrowse/sql_browser.h"

#include <algorithm>
#include <string_view>

#include "dataaccess/ascii.h"
#include "platform/system_error.h"
#include "platform/udp_socket.h"

namespace leafward::netbrowse {
namespace {

constexpr std::uint8_t kServerResponse = 0x05;  // SVR_RESP
constexpr std::size_t kMaxNamesPerAnswer = 256;
constexpr std::size_t kMaxNames = 1024;

using dataaccess::equalsIgnoringCase;

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
  std::vector<std::string> names;
  try {
    platform::UdpSocket udp;
    udp.enableBroadcast();
    const std::uint8_t message = kBrowseRequest;
    udp.sendTo(request.address, request.port, std::span(&message, 1));

    std::vector<std::uint8_t> buffer(65536);
    const auto deadline = std::chrono::steady_clock::now() + request.wait;
    while (!stop.stop_requested() && names.size() < kMaxNames) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      // Short slices, so that a stop request is noticed quickly.
      const auto got = udp.receive(buffer, std::min(left, std::chrono::milliseconds(100)));
      if (!got) continue;
      for (std::string& name : parseBrowserAnswer(std::span(buffer.data(), *got))) {
        if (contains(names, name) || names.size() >= kMaxNames) continue;
        names.push_back(name);
        if (onFound) onFound(names.back());
      }
    }
  } catch (const platform::SystemError& error) {
    throw BrowseError(error.what());
  }
  return names;
}

}  // namespace leafward::netbrowse
