#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <vector>

namespace leafward::netbrowse {

// The request asks every SQL Server Browser that hears it to list its server's instances.
struct BrowseRequest {
  std::string address = "255.255.255.255";  // a broadcast address, or one computer
  std::uint16_t port = 1434;                // where the Browser listens
  std::chrono::milliseconds wait{1500};     // how long answers are collected
};

// The request could not be sent (no network, a name that does not resolve).
class BrowseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The one-byte request that every Browser answers (CLNT_BCAST_EX).
inline constexpr std::uint8_t kBrowseRequest = 0x02;

// The servers one Browser answer names: "HOST" for a default instance, "HOST\INSTANCE" for a
// named one. Anything that is not a well-formed answer (short, of another type, with a length
// that does not match, with bytes outside printable ASCII, with a record without a server name)
// gives no names, or drops the record in question.
std::vector<std::string> parseBrowserAnswer(std::span<const std::uint8_t> datagram);

// Sends the request and collects the answers until the wait ends or `stop` is requested.
// Returns the names found, each once, in the order they came; `onFound` hears each new name as
// it arrives. Throws BrowseError when the request cannot be sent.
std::vector<std::string> findSqlServers(const BrowseRequest& request,
                                        const std::function<void(const std::string&)>& onFound = {},
                                        std::stop_token stop = {});

}  // namespace leafward::netbrowse
