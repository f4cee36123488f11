#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

namespace leafward::connection {

// Connection-string template of an Access account-set file; "|1" is the file's full path. As in
// the original program, an ADO-like provider string: the data-access layer parses it back to
// choose the provider (dataaccess/connection_string.h).
inline constexpr std::string_view kAccessTemplate =
    "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='|1';";

// Every occurrence of `placeholder`, found left to right by exact comparison, replaced by
// `value`; the inserted text is not searched again.
std::string replaceAll(std::string_view text, std::string_view placeholder, std::string_view value);

// The Access template filled in with `path`. The path is quoted the way connection strings
// quote values, so that a quote inside it stays part of the file name; an ordinary path
// comes out as '<path>', exactly as the template spells it. A code page, when the user names
// one for an Access 97 file whose header names the wrong one, follows as "Code Page=N;".
std::string accessConnectionString(std::string_view path,
                                   const std::optional<std::string>& codePage = std::nullopt);

// The connection and the recordset every command works through, with the connection kind and
// the texts last built for them. One object lives for the whole run. The shape and the names
// (cnData, rsData, blnServer, strConn, strSQL) are the original program's module state, kept so:
// every statement is first built into strSQL and run from there, and a query's result replaces
// rsData (docs/architecture.md, "Names kept").
class SharedConnection {
 public:
  dataaccess::Connection cnData;
  // Replaced by the result of every query; starts empty and closed.
  std::shared_ptr<dataaccess::Recordset> rsData = std::make_shared<dataaccess::Recordset>();
  // True when the last connect command was the SQL Server one; it picks the SQL dialect.
  bool blnServer = false;
  // The SQL Server connection string last built.
  std::string strConn;
  // The statement last built; queries and updates run from it.
  std::string strSQL;

  // Client-side cursors, so that recordsets know their record count. Opens nothing.
  void startUp();

  // Closes the open connection, if any, and opens the Access file (its Jet 3 text read in
  // `codePage` when given). Throws DataAccessError when the file cannot be opened; the
  // connection is then closed.
  void openAccess(std::string_view path, const std::optional<std::string>& codePage = std::nullopt);

  // Runs `strSQL` as a query; its recordset becomes `rsData`. On failure throws
  // DataAccessError and `rsData` keeps what it held.
  void executeQuery();

  // Runs `strSQL` as a statement that changes rows and returns how many it changed; the
  // recordset it gives back is dropped and `rsData` is left alone. Throws DataAccessError.
  std::int64_t executeUpdate();

  // True when the open connection is an Access account-set file.
  bool accessFileOpen() const;

  // Closes whatever is open and drops the recordset. Never fails.
  void shutDown() noexcept;
};

}  // namespace leafward::connection
