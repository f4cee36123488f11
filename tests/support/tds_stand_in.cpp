#include "support/tds_stand_in.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "dataaccess/ascii.h"
#include "support/loopback.h"

namespace leafward::testing {
namespace {

using tds::Bytes;

constexpr std::size_t kMaxMessage = std::size_t{1} << 20;
constexpr std::size_t kDefaultPacketSize = 4096;
constexpr int kPollMilliseconds = 50;

}  // namespace

TdsStandIn::TdsStandIn(std::string saPassword)
    : password_(std::move(saPassword)),
      listener_(listenOnLoopback(port_)),
      databases_{{"master", std::nullopt},
                 {"tempdb", std::nullopt},
                 {"model", std::nullopt},
                 {"msdb", std::nullopt}} {
  acceptor_ = std::thread([this] { acceptClients(); });
}

TdsStandIn::~TdsStandIn() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& session : sessions_) session.join();
  close(listener_);
}

void TdsStandIn::addDatabase(const std::string& name, std::optional<ServerAccountSet> accounts) {
  const std::lock_guard lock(mutex_);
  databases_.push_back({name, std::move(accounts)});
}

std::vector<tds::Login> TdsStandIn::logins() const {
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

void TdsStandIn::acceptClients() {
  while (!stopping_) {
    pollfd entry{listener_, POLLIN, 0};
    if (poll(&entry, 1, kPollMilliseconds) <= 0) continue;
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    const std::lock_guard lock(mutex_);
    sessions_.emplace_back([this, client] {
      serve(client);
      close(client);
    });
  }
}

// Reads the packets of one message, up to the one marked as its last. False when the client
// left, the stand-in stops, or the packets make no sense.
bool TdsStandIn::readMessage(int client, std::uint8_t& type, Bytes& message) const {
  message.clear();
  const auto readExactly = [&](std::uint8_t* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
      if (stopping_) return false;
      pollfd entry{client, POLLIN, 0};
      const int ready = poll(&entry, 1, kPollMilliseconds);
      if (ready < 0) return false;
      if (ready == 0) continue;
      const ssize_t got = recv(client, into + done, size - done, 0);
      if (got <= 0) return false;
      done += static_cast<std::size_t>(got);
    }
    return true;
  };
  for (bool first = true;; first = false) {
    std::uint8_t header[8];
    if (!readExactly(header, sizeof header)) return false;
    const std::size_t length = (std::size_t{header[2]} << 8) | header[3];
    if (length < sizeof header || (!first && header[0] != type)) return false;
    type = header[0];
    const std::size_t size = length - sizeof header;
    if (message.size() + size > kMaxMessage) return false;
    message.resize(message.size() + size);
    if (!readExactly(message.data() + message.size() - size, size)) return false;
    if (header[1] & 0x01) return true;
  }
}

TdsStandIn::Database* TdsStandIn::find(const std::string& name) {
  for (Database& database : databases_) {
    if (dataaccess::equalsIgnoringCase(database.name, name)) return &database;
  }
  return nullptr;
}

// Sends the whole reply unless the client leaves or the stand-in stops first.
void TdsStandIn::sendAll(int client, const Bytes& bytes) const {
  std::size_t done = 0;
  while (done < bytes.size() && !stopping_) {
    pollfd entry{client, POLLOUT, 0};
    const int ready = poll(&entry, 1, kPollMilliseconds);
    if (ready < 0) return;
    if (ready == 0) continue;
    const ssize_t sent = send(client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) return;
    done += static_cast<std::size_t>(sent);
  }
}

// The pre-login, then the login record. True once the client is logged in.
bool TdsStandIn::login(int client, std::size_t& packetSize, std::string& database) {
  std::uint8_t type = 0;
  Bytes message;
  if (!readMessage(client, type, message) || type != tds::kPrelogin) return false;
  sendAll(client, tds::packets(tds::kReply, tds::preloginReply(), kDefaultPacketSize));
  if (!readMessage(client, type, message) || type != tds::kLogin7) return false;
  const std::optional<tds::Login> record = tds::parseLogin7(message);
  if (!record) {
    sendAll(client, tds::packets(tds::kReply, tds::failure({{.text = "Malformed login record"}}),
                                 kDefaultPacketSize));
    return false;
  }

  // A wrong login fails as SQL Server's does (Msg 18456), after Msg 4060 for a missing database.
  const std::string wanted = record->database.empty() ? "master" : record->database;
  const bool loginRight = record->user == "sa" && record->password == password_;
  {
    const std::lock_guard lock(mutex_);
    logins_.push_back(*record);
    if (const Database* found = find(wanted)) database = found->name;
  }
  if (!loginRight || database.empty()) {
    std::vector<tds::Error> errors;
    if (loginRight) {
      errors.push_back(
          {4060, 11,
           "Cannot open database \"" + wanted + "\" requested by the login. The login failed."});
    }
    errors.push_back({18456, 14, "Login failed for user '" + record->user + "'."});
    sendAll(client, tds::packets(tds::kReply, tds::failure(errors), kDefaultPacketSize));
    return false;
  }
  packetSize = record->packetSize == 0 ? kDefaultPacketSize
                                       : std::clamp<std::size_t>(record->packetSize, 512, 32767);
  sendAll(client,
          tds::packets(tds::kReply, tds::loginAccepted(database, packetSize), kDefaultPacketSize));
  return true;
}

void TdsStandIn::serve(int client) {
  std::size_t packetSize = kDefaultPacketSize;
  std::string database;
  if (!login(client, packetSize, database)) return;
  for (;;) {
    std::uint8_t type = 0;
    Bytes message;
    if (!readMessage(client, type, message)) return;
    Bytes reply;
    if (type == tds::kAttention) {
      reply = tds::cancelled();
    } else if (type != tds::kSqlBatch) {
      reply = tds::failure(
          {{.text = "The test server takes no requests of type " + std::to_string(type)}});
    } else if (const std::optional<std::string> text = tds::batchText(message)) {
      reply = answer(database, *text);
    } else {
      reply = tds::failure({{.text = "Malformed statement"}});
    }
    sendAll(client, tds::packets(tds::kReply, reply, packetSize));
  }
}

Bytes TdsStandIn::answer(const std::string& database, const std::string& text) {
  const std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Database& each : databases_) names.push_back(each.name);
  Database* current = find(database);
  const std::optional<Bytes> found =
      answerStatement(text, current && current->accounts ? &*current->accounts : nullptr, names);
  return found ? *found
               : tds::failure({{.text = "The test server does not know the statement: " + text}});
}

}  // namespace leafward::testing
