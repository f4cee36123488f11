#include "support/tds_wire.h"

#include <algorithm>
#include <tuple>

#include "dataaccess/odbc/utf16.h"

namespace leafward::testing::tds {
namespace {

constexpr std::uint8_t kEnvChangeToken = 0xE3;
constexpr std::uint8_t kLoginAckToken = 0xAD;
constexpr std::uint8_t kErrorToken = 0xAA;
constexpr std::uint8_t kDoneToken = 0xFD;
constexpr std::uint8_t kColumnMetadataToken = 0x81;
constexpr std::uint8_t kRowToken = 0xD1;
// DONE status bits and the statement kinds a DONE names.
constexpr std::uint16_t kDoneError = 0x02;
constexpr std::uint16_t kDoneCount = 0x10;
constexpr std::uint16_t kDoneAttention = 0x20;
constexpr std::uint16_t kSelectCommand = 0xC1;
constexpr std::uint16_t kUpdateCommand = 0xC5;

constexpr std::uint16_t kNVarCharBytes = 8000;
// Chinese_PRC_CI_AS: LCID 0x0804, case-, kana- and width-insensitive, Windows sort order.
constexpr std::uint8_t kCollation[] = {0x04, 0x08, 0xD0, 0x00, 0x00};
constexpr std::uint16_t kSpid = 53;
constexpr const char* kServerName = "LEAFWARD-TEST";

// Appends `value` in `size` bytes, least significant first.
void put(Bytes& out, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Text as UTF-16 units, at most `most` of them, their count in front in `countSize` bytes.
void putText(Bytes& out, std::string_view text, int countSize, std::size_t most = 255) {
  const std::u16string units = odbc::utf16FromUtf8(text).substr(0, most);
  put(out, units.size(), countSize);
  for (char16_t unit : units) put(out, unit, 2);
}

// A token whose body is preceded by its length in two bytes.
Bytes withLength(std::uint8_t token, const Bytes& body) {
  Bytes out{token};
  put(out, body.size(), 2);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes envChange(std::uint8_t kind, std::string_view newValue, std::string_view oldValue) {
  Bytes body{kind};
  putText(body, newValue, 1);
  putText(body, oldValue, 1);
  return withLength(kEnvChangeToken, body);
}

Bytes done(std::uint16_t status, std::uint16_t command, std::uint64_t rows) {
  Bytes out{kDoneToken};
  put(out, status, 2);
  put(out, command, 2);
  put(out, rows, 8);
  return out;
}

void append(Bytes& to, const Bytes& from) {
  to.insert(to.end(), from.begin(), from.end());
}

std::uint32_t readLe(const Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

// A UTF-16 field of the login record, given by the offset and length pair at `entry`. The
// password is scrambled: each byte's nibbles swapped, then XORed with 0xA5.
std::optional<std::string> loginField(const Bytes& login, std::size_t entry, bool scrambled) {
  const std::size_t offset = readLe(login, entry, 2);
  const std::size_t units = readLe(login, entry + 2, 2);
  if (units > 0 && offset + units * 2 > login.size()) return std::nullopt;
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

std::optional<Login> parseLogin7(const Bytes& payload) {
  constexpr std::size_t kFixedPart = 94;
  if (payload.size() < kFixedPart || readLe(payload, 0, 4) != payload.size()) return std::nullopt;
  Login login;
  login.packetSize = readLe(payload, 8, 4);
  for (const auto& [entry, field, scrambled] :
       {std::tuple{40, &login.user, false}, std::tuple{44, &login.password, true},
        std::tuple{48, &login.application, false}, std::tuple{68, &login.database, false}}) {
    std::optional<std::string> text = loginField(payload, entry, scrambled);
    if (!text) return std::nullopt;
    *field = std::move(*text);
  }
  return login;
}

std::optional<std::string> batchText(const Bytes& payload) {
  if (payload.size() < 4) return std::nullopt;
  const std::size_t headers = readLe(payload, 0, 4);
  if (headers < 4 || headers > payload.size() || (payload.size() - headers) % 2 != 0) {
    return std::nullopt;
  }
  std::u16string text;
  for (std::size_t i = headers; i < payload.size(); i += 2) {
    text += static_cast<char16_t>(readLe(payload, i, 2));
  }
  return odbc::utf8FromUtf16(text);
}

Bytes preloginReply() {
  // Option list: VERSION at 11 (6 bytes), ENCRYPTION at 17 (1 byte), the terminator; then
  // version 16.0.4096, sub-build 0, and encryption not available.
  return {0x00, 0, 11, 0, 6, 0x01, 0, 17, 0, 1, 0xFF, 16, 0, 0x10, 0x00, 0, 0, 0x02};
}

Bytes loginAccepted(const std::string& database, std::size_t packetSize) {
  Bytes ack{1, 0x74, 0x00, 0x00, 0x04};  // T-SQL, TDS 7.4 (most significant byte first)
  putText(ack, "Microsoft SQL Server", 1);
  append(ack, {16, 0, 0x10, 0x00});  // 16.0.4096
  const std::string size = std::to_string(packetSize);
  Bytes reply = envChange(1, database, "master");
  append(reply, envChange(2, "us_english", ""));
  append(reply, withLength(kLoginAckToken, ack));
  append(reply, envChange(4, size, size));
  append(reply, done(0, 0, 0));
  return reply;
}

Bytes failure(const std::vector<Error>& errors) {
  Bytes reply;
  for (const Error& error : errors) {
    Bytes body;
    put(body, static_cast<std::uint32_t>(error.number), 4);
    body.push_back(1);  // state
    body.push_back(error.severity);
    putText(body, error.text, 2, 2047);
    putText(body, kServerName, 1);
    putText(body, "", 1);  // no procedure
    put(body, 1, 4);       // line
    append(reply, withLength(kErrorToken, body));
  }
  append(reply, done(kDoneError, 0, 0));
  return reply;
}

Bytes updated(std::uint64_t rows) {
  return done(kDoneCount, kUpdateCommand, rows);
}

Bytes cancelled() {
  return done(kDoneAttention, 0, 0);
}

Bytes result(std::string_view column, bool integer, const std::vector<Cell>& cells) {
  Bytes out{kColumnMetadataToken};
  put(out, 1, 2);       // one column
  put(out, 0, 4);       // no user type
  put(out, 0x0001, 2);  // nullable, read-only
  if (integer) {
    append(out, {0x26, 4});  // INTN of 4 bytes
  } else {
    out.push_back(0xE7);  // NVARCHAR
    put(out, kNVarCharBytes, 2);
    out.insert(out.end(), std::begin(kCollation), std::end(kCollation));
  }
  putText(out, column, 1);
  for (const Cell& cell : cells) {
    out.push_back(kRowToken);
    if (const auto* number = std::get_if<std::int32_t>(&cell); number && integer) {
      out.push_back(4);
      put(out, static_cast<std::uint32_t>(*number), 4);
    } else if (const auto* text = std::get_if<std::string>(&cell); text && !integer) {
      const std::u16string units = odbc::utf16FromUtf8(*text).substr(0, kNVarCharBytes / 2);
      put(out, units.size() * 2, 2);
      for (char16_t unit : units) put(out, unit, 2);
    } else {
      put(out, integer ? 0 : 0xFFFF, integer ? 1 : 2);  // NULL
    }
  }
  append(out, done(kDoneCount, kSelectCommand, cells.size()));
  return out;
}

Bytes packets(std::uint8_t type, const Bytes& message, std::size_t packetSize) {
  constexpr std::size_t kHeader = 8;
  const std::size_t room = std::max<std::size_t>(packetSize, 512) - kHeader;
  Bytes out;
  std::uint8_t id = 1;
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(room, message.size() - at);
    const std::size_t length = kHeader + size;
    const bool last = at + size == message.size();
    append(out, {type, static_cast<std::uint8_t>(last ? 0x01 : 0x00),
                 static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF),
                 static_cast<std::uint8_t>(kSpid >> 8), static_cast<std::uint8_t>(kSpid & 0xFF),
                 id++, 0});
    out.insert(out.end(), message.begin() + static_cast<std::ptrdiff_t>(at),
               message.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < message.size());
  return out;
}

}  // namespace leafward::testing::tds
