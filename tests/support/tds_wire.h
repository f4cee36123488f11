#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The pieces of TDS 7.4 that the test server speaks: the client's login record and statements
// read, the server's replies built.
namespace leafward::testing::tds {

using Bytes = std::vector<std::uint8_t>;

// Packet types.
inline constexpr std::uint8_t kSqlBatch = 0x01;
inline constexpr std::uint8_t kReply = 0x04;
inline constexpr std::uint8_t kAttention = 0x06;
inline constexpr std::uint8_t kLogin7 = 0x10;
inline constexpr std::uint8_t kPrelogin = 0x12;

// What a client's login record holds, as far as the tests look.
struct Login {
  std::uint32_t packetSize = 0;
  std::string user, password, application, database;
};
// Reads a login record; nothing when it is malformed.
std::optional<Login> parseLogin7(const Bytes& payload);

// The text of an SQL batch (its stream headers skipped) as UTF-8; nothing when malformed.
std::optional<std::string> batchText(const Bytes& payload);

// The answer to the pre-login: version 16.0, encryption not available.
Bytes preloginReply();
// A login accepted into `database` (TDS 7.4, "Microsoft SQL Server" 16.0) with the packet size.
Bytes loginAccepted(const std::string& database, std::size_t packetSize);
// ERROR tokens (class 11 and above are errors), then the DONE that fails the request.
struct Error {
  std::int32_t number = 50000;
  std::uint8_t severity = 16;
  std::string text;
};
Bytes failure(const std::vector<Error>& errors);
// The DONE of an UPDATE that changed `rows` rows, and of a cancelled request.
Bytes updated(std::uint64_t rows);
Bytes cancelled();

// One cell of a result: NULL, text (nvarchar) or a whole number (int).
using Cell = std::variant<std::monostate, std::string, std::int32_t>;
// A one-column result: its description, its rows and the DONE that counts them.
Bytes result(std::string_view column, bool integer, const std::vector<Cell>& cells);

// `message` cut into reply packets of at most `packetSize` bytes, the last one marked as the
// end of the message.
Bytes packets(std::uint8_t type, const Bytes& message, std::size_t packetSize);

}  // namespace leafward::testing::tds
