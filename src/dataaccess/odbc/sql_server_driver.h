#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"

namespace leafward::odbc {

// The ODBC driver that reaches SQL Server on this computer.
struct SqlServerDriver {
  enum class Kind {
    Microsoft,     // "ODBC Driver NN for SQL Server" (Windows and Linux)
    NativeClient,  // "SQL Server Native Client NN.N" (Windows)
    Legacy,        // "SQL Server", the driver every Windows has (sqlsrv32.dll)
    FreeTds,       // FreeTDS (Linux)
  };
  Kind kind = Kind::FreeTds;
  std::string name;      // what DRIVER= names: a registered driver or a library path
  int version = 0;       // NN of "ODBC Driver NN", or NN.N of Native Client as NN * 100 + N
  bool windows = false;  // runs on Windows, where "(local)" also reaches a server by memory
};

// Where Debian puts FreeTDS's ODBC driver, for systems on which it is not registered.
const std::vector<std::string>& freeTdsLibraryPaths();

// Chooses among the registered driver names. On Windows: the highest Microsoft "ODBC Driver NN
// for SQL Server", otherwise the highest "SQL Server Native Client NN.N", otherwise "SQL
// Server". Elsewhere: the highest Microsoft driver, otherwise the one registered as "FreeTDS",
// otherwise the first FreeTDS library that `exists`.
std::optional<SqlServerDriver> chooseSqlServerDriver(
    const std::vector<std::string>& registered,
    const std::function<bool(const std::string&)>& exists, bool windows = platform::kOnWindows);

// The names of the drivers registered with the ODBC driver manager.
std::vector<std::string> registeredOdbcDrivers();

// The driver for this computer; throws DataAccessError when there is none.
SqlServerDriver findSqlServerDriver();

}  // namespace leafward::odbc
