#include "support/tds_wire.h"

#include <algorithm>

#include "dataaccess/odbc/utf16.h"

namespace leafward::testing::tds {
namespace {

constexpr std::uint8_t kEnvChangeToken = 0xE3;
constexpr std::uint8_t kLoginAckToken = 0xAD;
constexpr std::uint8_t kErrorToken = 0xAA;
constexpr std::uint8_t kDoneToken = 0xFD;
constexpr std::uint8_t kColumnMetadataToken = 0x81;
constexpr std::uint8_t kRowToken = 0xD1;

constexpr std::uint8_t kNVarChar = 0xE7;
constexpr std::uint8_t kIntN = 0x26;
constexpr std::uint16_t kNVarCharBytes = 8000;
constexpr std::uint16_t kNullLength = 0xFFFF;
constexpr std::size_t kMessageUnits = 2047;
// Chinese_PRC_CI_AS: LCID 0x0804, case-, kana- and width-insensitive, Windows sort order.
constexpr std::uint8_t kCollation[] = {0x04, 0x08, 0xD0, 0x00, 0x00};
constexpr std::uint16_t kSpid = 53;

class Writer {
 public:
  Writer& u8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  Writer& u16(std::uint16_t value) { return u8(value & 0xFF).u8(value >> 8); }
  Writer& u32(std::uint32_t value) {
    return u16(static_cast<std::uint16_t>(value & 0xFFFF))
        .u16(static_cast<std::uint16_t>(value >> 16));
  }
  Writer& u64(std::uint64_t value) {
    return u32(static_cast<std::uint32_t>(value)).u32(static_cast<std::uint32_t>(value >> 32));
  }
  Writer& raw(const std::uint8_t* data, std::size_t size) {
    bytes_.insert(bytes_.end(), data, data + size);
    return *this;
  }
  Writer& ucs2(const std::u16string& text) {
    for (char16_t unit : text) u16(unit);
    return *this;
  }
  // Text with a one-byte count of UTF-16 units in front.
  Writer& bVarchar(std::string_view text) {
    const std::u16string units = odbc::utf16FromUtf8(text).substr(0, 255);
    return u8(static_cast<std::uint8_t>(units.size())).ucs2(units);
  }
  // Text with a two-byte count of UTF-16 units in front, cut to what a message may hold.
  Writer& usVarchar(std::string_view text) {
    const std::u16string units = odbc::utf16FromUtf8(text).substr(0, kMessageUnits);
    return u16(static_cast<std::uint16_t>(units.size())).ucs2(units);
  }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

// A token whose body is preceded by its length in two bytes.
Bytes withLength(std::uint8_t token, Bytes body) {
  Writer out;
  out.u8(token).u16(static_cast<std::uint16_t>(body.size())).raw(body.data(), body.size());
  return out.take();
}

std::uint16_t u16At(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t u32At(const Bytes& bytes, std::size_t at) {
  return u16At(bytes, at) | (static_cast<std::uint32_t>(u16At(bytes, at + 2)) << 16);
}

// A UTF-16 field of the login record, given by the offset and length pair at `entry`. The
// password is scrambled: each byte's nibbles swapped, then XORed with 0xA5.
std::optional<std::string> loginField(const Bytes& login, std::size_t entry, bool scrambled) {
  const std::size_t offset = u16At(login, entry);
  const std::size_t units = u16At(login, entry + 2);
  if (units == 0) return std::string();
  if (offset + units * 2 > login.size()) return std::nullopt;
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

Bytes preloginReply() {
  Writer out;
  // Option list: VERSION at 11 (6 bytes), ENCRYPTION at 17 (1 byte), then the terminator.
  out.u8(0x00).u8(0).u8(11).u8(0).u8(6);
  out.u8(0x01).u8(0).u8(17).u8(0).u8(1);
  out.u8(0xFF);
  out.u8(16).u8(0).u8(0x10).u8(0x00).u8(0).u8(0);  // 16.0.4096, sub-build 0
  out.u8(0x02);                                    // encryption not available
  return out.take();
}

Bytes envChange(std::uint8_t kind, std::string_view newValue, std::string_view oldValue) {
  Writer body;
  body.u8(kind).bVarchar(newValue).bVarchar(oldValue);
  return withLength(kEnvChangeToken, body.take());
}

Bytes loginAck() {
  Writer body;
  body.u8(1);                                // T-SQL
  body.u8(0x74).u8(0x00).u8(0x00).u8(0x04);  // TDS 7.4, most significant byte first
  body.bVarchar("Microsoft SQL Server");
  body.u8(16).u8(0).u8(0x10).u8(0x00);  // 16.0.4096
  return withLength(kLoginAckToken, body.take());
}

Bytes error(std::int32_t number, std::uint8_t state, std::uint8_t severity, std::string_view text,
            std::string_view server, std::int32_t line) {
  Writer body;
  body.u32(static_cast<std::uint32_t>(number)).u8(state).u8(severity);
  body.usVarchar(text).bVarchar(server).bVarchar("").u32(static_cast<std::uint32_t>(line));
  return withLength(kErrorToken, body.take());
}

Bytes done(std::uint16_t status, std::uint16_t command, std::uint64_t rows) {
  Writer out;
  out.u8(kDoneToken).u16(status).u16(command).u64(rows);
  return out.take();
}

Bytes columnMetadata(std::string_view name, bool integer) {
  Writer out;
  out.u8(kColumnMetadataToken).u16(1);
  out.u32(0).u16(0x0001);  // no user type; nullable, read-only
  if (integer) {
    out.u8(kIntN).u8(4);
  } else {
    out.u8(kNVarChar).u16(kNVarCharBytes).raw(kCollation, sizeof kCollation);
  }
  out.bVarchar(name);
  return out.take();
}

Bytes row(const Cell& cell, bool integer) {
  Writer out;
  out.u8(kRowToken);
  if (integer) {
    if (const auto* number = std::get_if<std::int32_t>(&cell)) {
      out.u8(4).u32(static_cast<std::uint32_t>(*number));
    } else {
      out.u8(0);
    }
  } else if (const auto* text = std::get_if<std::string>(&cell)) {
    const std::u16string units = odbc::utf16FromUtf8(*text).substr(0, kNVarCharBytes / 2);
    out.u16(static_cast<std::uint16_t>(units.size() * 2)).ucs2(units);
  } else {
    out.u16(kNullLength);
  }
  return out.take();
}

std::optional<Login7> parseLogin7(const Bytes& payload) {
  constexpr std::size_t kFixedPart = 94;
  if (payload.size() < kFixedPart || u32At(payload, 0) != payload.size()) return std::nullopt;
  Login7 login;
  login.tdsVersion = u32At(payload, 4);
  login.packetSize = u32At(payload, 8);
  const struct {
    std::size_t entry;
    std::string* field;
    bool scrambled;
  } fields[] = {{36, &login.hostName, false}, {40, &login.user, false},
                {44, &login.password, true},  {48, &login.application, false},
                {52, &login.server, false},   {64, &login.language, false},
                {68, &login.database, false}};
  for (const auto& [entry, field, scrambled] : fields) {
    std::optional<std::string> text = loginField(payload, entry, scrambled);
    if (!text) return std::nullopt;
    *field = std::move(*text);
  }
  return login;
}

std::optional<std::string> batchText(const Bytes& payload) {
  if (payload.size() < 4) return std::nullopt;
  const std::size_t headers = u32At(payload, 0);
  if (headers < 4 || headers > payload.size() || (payload.size() - headers) % 2 != 0) {
    return std::nullopt;
  }
  std::u16string text;
  for (std::size_t i = headers; i < payload.size(); i += 2) {
    text += static_cast<char16_t>(u16At(payload, i));
  }
  return odbc::utf8FromUtf16(text);
}

Bytes packets(std::uint8_t type, const Bytes& message, std::size_t packetSize) {
  constexpr std::size_t kHeader = 8;
  const std::size_t room = std::max<std::size_t>(packetSize, 512) - kHeader;
  Bytes out;
  std::uint8_t id = 1;
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(room, message.size() - at);
    const bool last = at + size == message.size();
    const std::size_t length = kHeader + size;
    const std::uint8_t header[] = {type,
                                   static_cast<std::uint8_t>(last ? 0x01 : 0x00),
                                   static_cast<std::uint8_t>(length >> 8),
                                   static_cast<std::uint8_t>(length & 0xFF),
                                   static_cast<std::uint8_t>(kSpid >> 8),
                                   static_cast<std::uint8_t>(kSpid & 0xFF),
                                   id++,
                                   0};
    out.insert(out.end(), header, header + kHeader);
    out.insert(out.end(), message.begin() + static_cast<std::ptrdiff_t>(at),
               message.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < message.size());
  return out;
}

}  // namespace leafward::testing::tds
