#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/stand_in_account_sets.h"
#include "support/tds_requests.h"

namespace leafward::testing {

// A small SQL Server on 127.0.0.1 for tests. It speaks enough TDS 7.4 for FreeTDS's ODBC driver
// to log in as `sa` without encryption and to run the statements Leafward sends, which it
// answers from account sets held in memory; anything else gets an error. The parameterised
// UPDATEs of an undo come as calls of sp_executesql, inside a transaction that each connection
// begins, commits or rolls back over its account set. A wrong login or an
// unknown database fails the login as SQL Server does (Msg 18456, Msg 4060). Each connection is
// served on a thread of its own until the client leaves or the stand-in is destroyed.
class TdsStandIn {
 public:
  // What a client's login record holds, as far as the tests look.
  struct Login {
    std::uint32_t packetSize = 0;
    std::string user, password, application, database;
  };

  explicit TdsStandIn(std::string saPassword = "right");
  ~TdsStandIn();
  TdsStandIn(const TdsStandIn&) = delete;
  TdsStandIn& operator=(const TdsStandIn&) = delete;

  // Adds a database, listed after master, tempdb, model and msdb in the order added; without
  // account-set tables when `accounts` is empty.
  void addDatabase(const std::string& name,
                   std::optional<ServerAccountSet> accounts = ServerAccountSet{});

  // Answers `statement`, exactly as spelled, with `reply` in every database.
  void answerAlso(std::string statement, Reply reply);

  // "127.0.0.1,PORT", as a server box takes it.
  std::string serverName() const { return "127.0.0.1," + std::to_string(port_); }

  // Every login record received so far, the failed ones too.
  std::vector<Login> logins() const;
  // An account set as it stands now; throws std::out_of_range for an unknown one.
  ServerAccountSet accountSet(const std::string& name) const;

  // Called with the text of each statement and the account set it runs on, before the answer,
  // so that a test can change the table between two statements (as another program would).
  // It runs while the stand-in is locked: it must not call the stand-in.
  using StatementHook = std::function<void(const std::string& text, ServerAccountSet& accounts)>;
  void onStatement(StatementHook hook);

  // Closes the next connection to ask for a commit, as a failing network would: instead of
  // carrying the commit out (AtCommit), or at the next request after it (AfterCommit).
  enum class Drop { Never, AtCommit, AfterCommit };
  void dropConnection(Drop when);

 private:
  struct Database {
    std::string name;
    std::optional<ServerAccountSet> accounts;
  };

  void serve(int client);
  std::optional<std::string> login(int client, std::size_t& packetSize);
  Reply answer(const std::string& database, const std::string& text);
  Reply answer(const std::string& database, const ParameterisedStatement& call);
  std::vector<std::uint8_t> transact(const std::string& database, const TransactionRequest& request,
                                     std::optional<ServerAccountSet>& snapshot);
  Database* find(const std::string& name);

  std::string password_;
  std::uint16_t port_ = 0;
  int listener_ = -1;
  mutable std::mutex mutex_;
  bool stopping_ = false;
  std::vector<Database> databases_;
  StatementHook hook_;
  Drop drop_ = Drop::Never;
  std::vector<std::pair<std::string, Reply>> canned_;
  std::vector<Login> logins_;
  std::vector<int> clients_;
  std::vector<std::thread> sessions_;
  std::thread acceptor_;
};

}  // namespace leafward::testing
