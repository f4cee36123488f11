#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/connection_string.h"
#include "dataaccess/value.h"

namespace leafward::dataaccess {

// The rows of a query, fetched whole.
struct ResultSet {
  std::vector<std::string> columnNames;
  std::vector<std::vector<Value>> rows;
};

// What one statement gave back: rows for a query, the number of rows changed for an update.
struct StatementResult {
  std::optional<ResultSet> rows;
  std::int64_t recordsAffected = 0;
};

// An open connection of one provider. Every method throws DataAccessError on failure.
class Session {
 public:
  virtual ~Session() = default;
  virtual StatementResult execute(std::string_view text) = 0;
  // The database the session works in: the catalog on a server; empty for an Access file,
  // for which Jet reports no default database.
  virtual std::string currentCatalog() const = 0;
  // What a person should know of what the session did without failing (a journal left beside
  // a file that was read all the same, a change whose journal's removal may not be durable),
  // each said once, since the last call.
  virtual std::vector<std::string> takeNotices() { return {}; }
};

// Opens a session for the provider that the connection string's `Provider` key names. The
// Access provider (Microsoft.Jet.OLEDB.4.0) takes `Data Source` (the file) and, optionally,
// `Code Page` (the Windows code page of an Access 97 file's text, when its header names
// another). Throws DataAccessError for an unknown or missing provider and for any open
// failure.
std::unique_ptr<Session> openSession(const ConnectionString& connection, std::string_view user,
                                     std::string_view password);

}  // namespace leafward::dataaccess
