#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The pieces of TDS 7.4 that the test server speaks: packet types, the tokens of its replies,
// and the reading of the client's login record and statements.
namespace leafward::testing::tds {

using Bytes = std::vector<std::uint8_t>;

// Packet types.
inline constexpr std::uint8_t kSqlBatch = 0x01;
inline constexpr std::uint8_t kReply = 0x04;
inline constexpr std::uint8_t kAttention = 0x06;
inline constexpr std::uint8_t kLogin7 = 0x10;
inline constexpr std::uint8_t kPrelogin = 0x12;

// DONE status bits and the statement kinds a DONE names.
inline constexpr std::uint16_t kDoneFinal = 0x00;
inline constexpr std::uint16_t kDoneError = 0x02;
inline constexpr std::uint16_t kDoneCount = 0x10;
inline constexpr std::uint16_t kDoneAttention = 0x20;
inline constexpr std::uint16_t kSelectCommand = 0xC1;
inline constexpr std::uint16_t kUpdateCommand = 0xC5;

// ENVCHANGE kinds.
inline constexpr std::uint8_t kDatabaseChange = 1;
inline constexpr std::uint8_t kLanguageChange = 2;
inline constexpr std::uint8_t kPacketSizeChange = 4;

// One cell of a result: NULL, text (nvarchar) or a whole number (int).
using Cell = std::variant<std::monostate, std::string, std::int32_t>;

// The answer to the pre-login: version 16.0, encryption not available.
Bytes preloginReply();

Bytes envChange(std::uint8_t kind, std::string_view newValue, std::string_view oldValue);
// TDS 7.4 accepted, for "Microsoft SQL Server" 16.0.
Bytes loginAck();
// An ERROR token (class 11 and above are errors).
Bytes error(std::int32_t number, std::uint8_t state, std::uint8_t severity, std::string_view text,
            std::string_view server, std::int32_t line);
Bytes done(std::uint16_t status, std::uint16_t command, std::uint64_t rows);
// Column descriptions and one row of a one-column result.
Bytes columnMetadata(std::string_view name, bool integer);
Bytes row(const Cell& cell, bool integer);

// What a TDS 7 client puts in its login record.
struct Login7 {
  std::uint32_t tdsVersion = 0;
  std::uint32_t packetSize = 0;
  std::string hostName, user, password, application, server, language, database;
};
// Reads a login record; nothing when it is malformed.
std::optional<Login7> parseLogin7(const Bytes& payload);

// The text of an SQL batch (its stream headers skipped) as UTF-8; nothing when malformed.
std::optional<std::string> batchText(const Bytes& payload);

// `message` cut into reply packets of at most `packetSize` bytes, the last one marked as the
// end of the message.
Bytes packets(std::uint8_t type, const Bytes& message, std::size_t packetSize);

}  // namespace leafward::testing::tds
