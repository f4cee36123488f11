#include "support/tds_stand_in.h"

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "dataaccess/ascii.h"
#include "dataaccess/decimal.h"
#include "dataaccess/odbc/utf16.h"
#include "support/loopback.h"
#include "support/sockets.h"

namespace leafward::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// TDS 7.4: packet types, tokens, the DONE token's status bits and the statement kinds it names.
enum : std::uint8_t { kSqlBatch = 0x01, kRpc = 0x03, kReply = 0x04, kAttention = 0x06 };
enum : std::uint8_t { kTransactionManager = 0x0E };
enum : std::uint8_t { kLogin7 = 0x10, kPrelogin = 0x12 };
enum : std::uint8_t { kColumnMetadata = 0x81, kError = 0xAA, kLoginAck = 0xAD, kRow = 0xD1 };
enum : std::uint8_t { kEnvChange = 0xE3, kDone = 0xFD };
constexpr std::uint16_t kDoneError = 0x02, kDoneCount = 0x10, kDoneAttention = 0x20;
constexpr std::uint16_t kSelectCommand = 0xC1, kUpdateCommand = 0xC5;

constexpr std::size_t kHeader = 8, kMaxMessage = std::size_t{1} << 20, kDefaultPacketSize = 4096;
constexpr std::uint16_t kSpid = 53, kNVarCharBytes = 8000;
constexpr std::uint8_t kDecimalN = 0x6A, kMoneyN = 0x6E;
// Chinese_PRC_CI_AS: LCID 0x0804, case-, kana- and width-insensitive, Windows sort order.
constexpr std::uint8_t kCollation[] = {0x04, 0x08, 0xD0, 0x00, 0x00};

// Appends each value in its number of bytes, least significant first.
void put(Bytes& out, std::initializer_list<std::pair<std::uint64_t, int>> fields) {
  for (const auto& [value, size] : fields) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

// A DECIMALN value (a sign byte, 1 for positive, then the magnitude, least significant byte
// first) or a MONEYN one (the ten-thousandths, upper 32 bits first); NULL for no text.
void putExact(Bytes& out, const Reply::Exact& exact, const std::string* text) {
  if (!text) {
    out.push_back(0);
    return;
  }
  const auto value = dataaccess::Decimal::parse(*text);
  const std::uint8_t scale = exact.precision > 0 ? exact.scale : 4;
  if (!value || value->scale != scale) throw std::invalid_argument("not a number of the column");
  if (exact.precision > 0) {
    put(out, {{17, 1}, {value->negative ? 0 : 1, 1}, {value->low, 8}, {value->high, 8}});
    return;
  }
  const std::uint64_t magnitude = value->low;
  const std::uint64_t stored = value->negative ? 0 - magnitude : magnitude;
  put(out, {{8, 1}, {stored >> 32, 4}, {stored & 0xFFFFFFFF, 4}});
}

void append(Bytes& to, const Bytes& from) {
  to.insert(to.end(), from.begin(), from.end());
}

std::uint32_t readLe(const Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

// Text as UTF-16 units, at most `most` of them, their count (or for `inBytes`, their size) in
// front in `countSize` bytes.
void putText(Bytes& out, std::string_view text, int countSize, std::size_t most = 255,
             bool inBytes = false) {
  const std::u16string units = odbc::utf16FromUtf8(text).substr(0, most);
  put(out, {{units.size() * (inBytes ? 2 : 1), countSize}});
  for (char16_t unit : units) put(out, {{unit, 2}});
}

// A token whose body is preceded by its length in two bytes.
Bytes withLength(std::uint8_t token, const Bytes& body) {
  Bytes out{token};
  put(out, {{body.size(), 2}});
  append(out, body);
  return out;
}

Bytes envChange(std::uint8_t kind, std::string_view newValue, std::string_view oldValue) {
  Bytes body{kind};
  putText(body, newValue, 1);
  putText(body, oldValue, 1);
  return withLength(kEnvChange, body);
}

Bytes done(std::uint16_t status, std::uint16_t command, std::uint64_t rows) {
  Bytes out{kDone};
  put(out, {{status, 2}, {command, 2}, {rows, 8}});
  return out;
}

Bytes encode(const Reply& reply) {
  Bytes out;
  for (const Reply::Error& error : reply.errors) {
    Bytes body;
    put(body, {{static_cast<std::uint32_t>(error.number), 4}, {1, 1}, {error.severity, 1}});
    putText(body, error.text, 2, 2047);
    putText(body, "LEAFWARD-TEST", 1);
    putText(body, "", 1);  // no procedure
    put(body, {{1, 4}});   // line
    append(out, withLength(kError, body));
  }
  if (!reply.errors.empty()) {
    append(out, done(kDoneError, 0, 0));
    return out;
  }
  if (reply.updated) return done(kDoneCount, kUpdateCommand, *reply.updated);

  // One column, no user type, nullable and read-only: INTN of 4 bytes, DECIMALN, MONEYN or
  // NVARCHAR.
  out = {kColumnMetadata};
  put(out, {{1, 2}, {0, 4}, {0x0001, 2}});
  if (reply.exact) {
    if (reply.exact->precision > 0) {
      put(out, {{kDecimalN, 1}, {17, 1}, {reply.exact->precision, 1}, {reply.exact->scale, 1}});
    } else {
      put(out, {{kMoneyN, 1}, {8, 1}});
    }
  } else if (reply.integers) {
    append(out, {0x26, 4});
  } else {
    put(out, {{0xE7, 1}, {kNVarCharBytes, 2}});
    out.insert(out.end(), std::begin(kCollation), std::end(kCollation));
  }
  putText(out, reply.column, 1);
  for (const Reply::Cell& cell : reply.cells) {
    out.push_back(kRow);
    const auto* text = std::get_if<std::string>(&cell);
    if (reply.exact) {
      putExact(out, *reply.exact, text);
    } else if (const auto* number = std::get_if<std::int32_t>(&cell); number && reply.integers) {
      put(out, {{4, 1}, {static_cast<std::uint32_t>(*number), 4}});
    } else if (text && !reply.integers) {
      putText(out, *text, 2, kNVarCharBytes / 2, true);
    } else {
      put(out, {{reply.integers ? 0 : 0xFFFF, reply.integers ? 1 : 2}});  // NULL
    }
  }
  append(out, done(kDoneCount, kSelectCommand, reply.cells.size()));
  return out;
}

// The ENVCHANGE that tells the client its transaction began (8, with the new descriptor) or
// ended (9 committed, 10 rolled back, with the old one).
Bytes transactionChange(std::uint8_t kind, bool began) {
  const Bytes descriptor = {1, 0, 0, 0, 0, 0, 0, 0};
  Bytes body{kind, static_cast<std::uint8_t>(began ? 8 : 0)};
  if (began) append(body, descriptor);
  body.push_back(began ? 0 : 8);
  if (!began) append(body, descriptor);
  return withLength(kEnvChange, body);
}

// A UTF-16 field of the login record, given by the offset and length pair at `entry`. The
// password is scrambled: each byte's nibbles swapped, then XORed with 0xA5.
std::optional<std::string> loginField(const Bytes& login, std::size_t entry, bool scrambled) {
  const std::size_t offset = readLe(login, entry, 2), units = readLe(login, entry + 2, 2);
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

// Reads a login record; nothing when it is malformed.
std::optional<TdsStandIn::Login> parseLogin7(const Bytes& payload) {
  constexpr std::size_t kFixedPart = 94;
  if (payload.size() < kFixedPart || readLe(payload, 0, 4) != payload.size()) return std::nullopt;
  TdsStandIn::Login login;
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

// The text of an SQL batch (its stream headers skipped) as UTF-8; nothing when malformed.
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

// A reply message cut into packets of at most `packetSize` bytes, the last marked as its end;
// false when the client left or the stand-in stops.
bool sendReply(int client, const Bytes& message, std::size_t packetSize) {
  const std::size_t room = std::max<std::size_t>(packetSize, 512) - kHeader;
  Bytes out;
  std::uint8_t id = 1;
  std::size_t at = 0;
  do {
    const std::size_t size = std::min(room, message.size() - at), length = kHeader + size;
    const bool last = at + size == message.size();
    append(out, {kReply, static_cast<std::uint8_t>(last), static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length), kSpid >> 8, kSpid & 0xFF, id++, 0});
    out.insert(out.end(), message.begin() + static_cast<std::ptrdiff_t>(at),
               message.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  } while (at < message.size());
  for (std::size_t sent = 0; sent < out.size();) {
    const auto now = sendBytes(static_cast<SOCKET>(client), out.data() + sent, out.size() - sent);
    if (now <= 0) return false;
    sent += static_cast<std::size_t>(now);
  }
  return true;
}

// The packets of one message, up to the one marked as its last, and their type; nothing when
// the client left, the stand-in stops or the packets make no sense.
std::optional<std::pair<std::uint8_t, Bytes>> readMessage(int client) {
  const auto readExactly = [client](std::uint8_t* into, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
      const auto got = receiveBytes(static_cast<SOCKET>(client), into + done, size - done);
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  };
  std::pair<std::uint8_t, Bytes> message;
  for (bool first = true;; first = false) {
    std::uint8_t header[kHeader];
    if (!readExactly(header, kHeader)) return std::nullopt;
    const std::size_t length = (std::size_t{header[2]} << 8) | header[3];
    if (length < kHeader || (!first && header[0] != message.first)) return std::nullopt;
    message.first = header[0];
    Bytes& bytes = message.second;
    const std::size_t size = length - kHeader;
    if (bytes.size() + size > kMaxMessage) return std::nullopt;
    bytes.resize(bytes.size() + size);
    if (!readExactly(bytes.data() + bytes.size() - size, size)) return std::nullopt;
    if (header[1] & 0x01) return message;
  }
}

}  // namespace

TdsStandIn::TdsStandIn(std::string saPassword)
    : password_(std::move(saPassword)),
      listener_(listenOnLoopback(port_)),
      databases_{{"master", std::nullopt},
                 {"tempdb", std::nullopt},
                 {"model", std::nullopt},
                 {"msdb", std::nullopt}} {
  acceptor_ = std::thread([this] {
    for (;;) {
      // Waits a moment at a time, so that the stand-in can stop on every system (a listening
      // Winsock socket that is shut down does not wake its accept).
      PollEntry waiting{static_cast<SOCKET>(listener_), POLLIN, 0};
      const bool ready = pollSockets(&waiting, 1, 50) > 0;
      {
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
      }
      if (!ready) continue;
      const int client = static_cast<int>(accept(static_cast<SOCKET>(listener_), nullptr, nullptr));
      const std::lock_guard lock(mutex_);
      if (stopping_) {
        if (client >= 0) closeSocket(static_cast<SOCKET>(client));
        return;
      }
      if (client < 0) continue;
      clients_.push_back(client);
      sessions_.emplace_back([this, client] { serve(client); });
    }
  });
}

// Shutting the clients' sockets down wakes every thread that waits on one.
TdsStandIn::~TdsStandIn() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int client : clients_) shutdownSocket(static_cast<SOCKET>(client));
  }
  acceptor_.join();
  for (std::thread& session : sessions_) session.join();
  for (int client : clients_) closeSocket(static_cast<SOCKET>(client));
  closeSocket(static_cast<SOCKET>(listener_));
}

void TdsStandIn::addDatabase(const std::string& name, std::optional<ServerAccountSet> accounts) {
  const std::lock_guard lock(mutex_);
  databases_.push_back({name, std::move(accounts)});
}

std::vector<TdsStandIn::Login> TdsStandIn::logins() const {
  const std::lock_guard lock(mutex_);
  return logins_;
}

ServerAccountSet TdsStandIn::accountSet(const std::string& name) const {
  const std::lock_guard lock(mutex_);
  for (const Database& database : databases_) {
    if (database.name == name && database.accounts) return *database.accounts;
  }
  throw std::out_of_range("no account set " + name);
}

void TdsStandIn::onStatement(StatementHook hook) {
  const std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

TdsStandIn::Database* TdsStandIn::find(const std::string& name) {
  for (Database& database : databases_) {
    if (dataaccess::equalsIgnoringCase(database.name, name)) return &database;
  }
  return nullptr;
}

// The pre-login, then the login record; the database logged into, once the client is in.
std::optional<std::string> TdsStandIn::login(int client, std::size_t& packetSize) {
  // The options VERSION (6 bytes at 11) and ENCRYPTION (1 byte at 17), the terminator; version
  // 16.0.4096, sub-build 0, and encryption not available.
  const Bytes prelogin = {0x00, 0, 11, 0, 6, 0x01, 0, 17, 0, 1, 0xFF, 16, 0, 0x10, 0, 0, 0, 0x02};
  auto message = readMessage(client);
  if (!message || message->first != kPrelogin) return std::nullopt;
  sendReply(client, prelogin, kDefaultPacketSize);
  message = readMessage(client);
  if (!message || message->first != kLogin7) return std::nullopt;
  const std::optional<Login> record = parseLogin7(message->second);
  if (!record) {
    sendReply(client, encode({.errors = {{.text = "Malformed login record"}}}), kDefaultPacketSize);
    return std::nullopt;
  }

  // A wrong login fails as SQL Server's does (Msg 18456), after Msg 4060 for a missing database.
  const std::string wanted = record->database.empty() ? "master" : record->database;
  const bool loginRight = record->user == "sa" && record->password == password_;
  std::string database;
  {
    const std::lock_guard lock(mutex_);
    logins_.push_back(*record);
    if (const Database* found = find(wanted)) database = found->name;
  }
  if (!loginRight || database.empty()) {
    Reply failed;
    if (loginRight) {
      failed.errors.push_back(
          {4060, 11,
           "Cannot open database \"" + wanted + "\" requested by the login. The login failed."});
    }
    failed.errors.push_back({18456, 14, "Login failed for user '" + record->user + "'."});
    sendReply(client, encode(failed), kDefaultPacketSize);
    return std::nullopt;
  }
  packetSize = record->packetSize == 0 ? kDefaultPacketSize
                                       : std::clamp<std::size_t>(record->packetSize, 512, 32767);
  // Into the database, the language, T-SQL over TDS 7.4 from "Microsoft SQL Server" 16.0.4096,
  // the packet size.
  Bytes accepted = envChange(1, database, "master");
  append(accepted, envChange(2, "us_english", ""));
  Bytes ack{1, 0x74, 0x00, 0x00, 0x04};
  putText(ack, "Microsoft SQL Server", 1);
  append(ack, {16, 0, 0x10, 0x00});
  append(accepted, withLength(kLoginAck, ack));
  append(accepted, envChange(4, std::to_string(packetSize), std::to_string(packetSize)));
  append(accepted, done(0, 0, 0));
  sendReply(client, accepted, kDefaultPacketSize);
  return database;
}

void TdsStandIn::serve(int client) {
  std::size_t packetSize = kDefaultPacketSize;
  const std::optional<std::string> database = login(client, packetSize);
  if (!database) return;
  std::optional<ServerAccountSet> snapshot;  // the account set when its transaction began
  bool dropNext = false;
  const auto dropped = [&] {
    shutdownSocket(static_cast<SOCKET>(client));
    return;
  };
  for (;;) {
    const auto message = readMessage(client);
    if (!message) return;
    if (dropNext) return dropped();
    Bytes reply;
    std::optional<ParameterisedStatement> call;
    std::optional<TransactionRequest> transaction;
    std::optional<std::string> text;
    if (message->first == kAttention) {
      reply = done(kDoneAttention, 0, 0);
    } else if (message->first == kSqlBatch && (text = batchText(message->second))) {
      reply = encode(answer(*database, *text));
    } else if (message->first == kRpc && (call = parseExecuteSql(message->second))) {
      reply = encode(answer(*database, *call));
    } else if (message->first == kTransactionManager &&
               (transaction = parseTransactionRequest(message->second))) {
      if (transaction->kind == TransactionRequest::Commit) {
        const std::lock_guard lock(mutex_);
        if (drop_ == Drop::AtCommit) {
          drop_ = Drop::Never;
          return dropped();
        }
        dropNext = drop_ == Drop::AfterCommit;
        drop_ = Drop::Never;
      }
      reply = transact(*database, *transaction, snapshot);
    } else {
      const std::string type = std::to_string(message->first);
      reply =
          encode({.errors = {{.text = "The test server cannot read a request of type " + type}}});
    }
    if (!sendReply(client, reply, packetSize)) return;
  }
}

Reply TdsStandIn::answer(const std::string& database, const ParameterisedStatement& call) {
  const std::lock_guard lock(mutex_);
  Database* current = find(database);
  if (hook_ && current && current->accounts) hook_(call.text, *current->accounts);
  const std::optional<Reply> found = answerParameterised(
      call.text, call.values, current && current->accounts ? &*current->accounts : nullptr);
  return found ? *found
               : Reply{.errors = {
                           {.text = "The test server does not know the statement: " + call.text}}};
}

// Begins, commits or rolls back this connection's transaction over its account set.
std::vector<std::uint8_t> TdsStandIn::transact(const std::string& database,
                                               const TransactionRequest& request,
                                               std::optional<ServerAccountSet>& snapshot) {
  const std::lock_guard lock(mutex_);
  Database* current = find(database);
  Bytes reply;
  if (request.kind != TransactionRequest::Begin) {
    if (request.kind == TransactionRequest::Rollback && snapshot && current) {
      current->accounts = *snapshot;
    }
    snapshot.reset();
    append(reply, transactionChange(request.kind == TransactionRequest::Commit ? 9 : 10, false));
  }
  if (request.kind == TransactionRequest::Begin || request.beginAnother) {
    snapshot = current ? current->accounts : std::nullopt;
    if (!snapshot) snapshot.emplace();
    append(reply, transactionChange(8, true));
  }
  append(reply, done(0, 0, 0));
  return reply;
}

void TdsStandIn::dropConnection(Drop when) {
  const std::lock_guard lock(mutex_);
  drop_ = when;
}

void TdsStandIn::answerAlso(std::string statement, Reply reply) {
  const std::lock_guard lock(mutex_);
  canned_.emplace_back(std::move(statement), std::move(reply));
}

Reply TdsStandIn::answer(const std::string& database, const std::string& text) {
  const std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Database& each : databases_) names.push_back(each.name);
  for (const auto& [statement, reply] : canned_) {
    if (statement == text) return reply;
  }
  Database* current = find(database);
  if (hook_ && current && current->accounts) hook_(text, *current->accounts);
  const std::optional<Reply> found =
      answerStatement(text, current && current->accounts ? &*current->accounts : nullptr, names);
  return found
             ? *found
             : Reply{.errors = {{.text = "The test server does not know the statement: " + text}}};
}

}  // namespace leafward::testing
