#pragma once

#include <string>
#include <string_view>

#include "dataaccess/connection_string.h"
#include "dataaccess/odbc/sql_server_driver.h"

namespace leafward::odbc {

// A value in ODBC braces, a `}` inside doubled, so that `;`, `=` and braces stay in the value.
std::string odbcBraced(std::string_view value);

// A value in braces for FreeTDS, which takes a braced value up to the first "}" that is
// followed by ";" or by the end of the string, and keeps every "}" before it as it is (doubling
// one would pass it twice). Throws DataAccessError, naming `what` (never the value), for a value
// that holds "};", which FreeTDS cannot be given.
std::string freeTdsValue(std::string_view value, std::string_view what);

// A value in braces for Windows' old "SQL Server" driver, which is not known to read a "}" inside
// braces as anything but their end. Throws DataAccessError, naming `what`, for a value that
// holds "}".
std::string legacyDriverValue(std::string_view value, std::string_view what);

// The parts of an SQLOLEDB data source: "host", "host\instance", "host,port", optionally with
// "tcp:" in front. "(local)", "." and an empty name mean this computer (host 127.0.0.1).
struct ServerAddress {
  std::string host;
  std::string instance;
  std::string port;  // empty when none was given
  bool thisComputer = false;
};

// Throws DataAccessError for a port that is not a number from 1 to 65535.
ServerAddress parseDataSource(std::string_view dataSource);

// The ODBC connection string that reaches what an SQLOLEDB connection string describes,
// through `driver`, in the keywords and server name forms that driver takes. A non-empty `user` or
// `password` replaces the string's own, as the arguments of an ADO open do. Throws DataAccessError
// for an unusable data source.
std::string odbcConnectionString(const dataaccess::ConnectionString& oledb,
                                 const SqlServerDriver& driver, std::string_view user,
                                 std::string_view password);

// The password the connection will send, for masking it in error texts.
std::string loginPassword(const dataaccess::ConnectionString& oledb, std::string_view password);

// "SQL Server 'name'", naming the data source as written, for error texts.
std::string describeServer(const dataaccess::ConnectionString& oledb);

}  // namespace leafward::odbc
