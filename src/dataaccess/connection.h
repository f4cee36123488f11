#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/session.h"

namespace leafward::dataaccess {

class Recordset;

inline constexpr int kAdStateClosed = 0;
inline constexpr int kAdStateOpen = 1;
inline constexpr int kAdUseClient = 3;

// A database connection with the operations of an ADO Connection that Leafward uses.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setCursorLocation(int location) { cursorLocation_ = location; }
  int cursorLocation() const { return cursorLocation_; }

  // Opens the connection the string describes; the provider is chosen by its `Provider` key.
  // On failure throws DataAccessError, stays closed and keeps the reason in lastError().
  void open(std::string_view connectionString, std::string_view user = "",
            std::string_view password = "", int options = -1);
  void close();
  int state() const { return session_ ? kAdStateOpen : kAdStateClosed; }

  // Runs one statement. A query's rows come back as an open recordset; other statements give
  // a closed one. `recordsAffected`, when given, receives the number of rows changed.
  // Throws DataAccessError when the connection is closed or the statement fails.
  std::shared_ptr<Recordset> execute(std::string_view text, std::int64_t* recordsAffected = nullptr,
                                     int options = -1);

  // Session::forEachRow on the open connection: the rows of a query one at a time, for
  // results too big to hold as a recordset. Throws DataAccessError when the connection is
  // closed or the query fails.
  void forEachRow(std::string_view text, const RowVisitor& visit);

  // Throws DataAccessError when the connection is closed.
  std::string defaultDatabase() const;

  // What the session has to say of what it did without failing, since the last call (see
  // Session::takeNotices); nothing when the connection is closed.
  std::vector<std::string> takeNotices();

  // Session::holdReadState on the open connection; throws DataAccessError when it is closed.
  // Closing the connection lets the state go too.
  std::unique_ptr<ReadState> holdReadState();

  // Session::planUpdate, setFlagsByKey and lookUpFlags on the open connection; throw
  // DataAccessError when it is closed.
  std::unique_ptr<PlannedUpdate> planUpdate(std::string_view text, std::string_view keyColumn);
  std::int64_t setFlagsByKey(const KeyedFlagUpdate& update);
  FlagsNow lookUpFlags(const FlagLookup& lookup);

  const std::string& lastError() const { return lastError_; }

  // The `Provider` the open connection was opened with, as written; empty when closed.
  const std::string& provider() const { return provider_; }

  // For tests and embedders: use a session opened elsewhere, as if by `provider`.
  void adopt(std::unique_ptr<Session> session, std::string provider = {});

 private:
  int cursorLocation_ = 2;
  std::unique_ptr<Session> session_;
  std::string provider_;
  std::string lastError_;
};

}  // namespace leafward::dataaccess
