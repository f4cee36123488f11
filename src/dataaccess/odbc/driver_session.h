#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dataaccess/odbc/odbc_handles.h"
#include "dataaccess/session.h"

namespace leafward::odbc {

// A session on any ODBC driver: one connection, statements run one at a time and their rows
// fetched whole.
class DriverSession : public dataaccess::Session {
 public:
  // Connects with an ODBC connection string (DRIVER=...;...). `secret` is masked in every
  // error text; the connection string itself never appears in one. `what` names the target in
  // messages ("SQL Server 'host'"); `mode` says how the driver passes text. Throws
  // DataAccessError.
  static std::unique_ptr<DriverSession> connect(std::string_view odbcConnectionString,
                                                std::chrono::seconds loginTimeout,
                                                std::string_view what, TextMode mode,
                                                std::string secret = {});

  dataaccess::StatementResult execute(std::string_view text) override;
  std::string currentCatalog() const override;
  // One transaction of parameterised UPDATEs, one per entry, committed only when each entry
  // changed the rows it expects (see flag_transaction.cpp).
  std::int64_t setFlagsByKey(const dataaccess::KeyedFlagUpdate& update) override;
  // One parameterised SELECT per key; rows are named by key alone here.
  dataaccess::FlagsNow lookUpFlags(const dataaccess::FlagLookup& lookup) override;
  std::vector<std::string> takeNotices() override { return std::exchange(notices_, {}); }

 private:
  DriverSession(Handle environment, Handle connection, std::string secret);
  // Sets the connection back to committing each statement on its own, when a transaction
  // could not: a statement run before that would never be committed. Throws when it cannot.
  void restoreAutocommit();

  Handle environment_;
  Handle connection_;
  std::string secret_;
  std::vector<std::string> notices_;
  bool autocommitOff_ = false;
};

}  // namespace leafward::odbc
