#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

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

 private:
  DriverSession(Handle environment, Handle connection, std::string secret);
  Handle environment_;
  Handle connection_;
  std::string secret_;
};

}  // namespace leafward::odbc
