#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::odbc {

// The ODBC driver that reaches SQL Server on this computer.
struct SqlServerDriver {
  enum class Kind { Microsoft, FreeTds };
  Kind kind = Kind::FreeTds;
  std::string name;  // what DRIVER= names: a registered driver or a library path
  int version = 0;   // NN of Microsoft's "ODBC Driver NN for SQL Server"
};

// Where Debian puts FreeTDS's ODBC driver, for systems on which it is not registered.
const std::vector<std::string>& freeTdsLibraryPaths();

// Chooses among the registered driver names: the highest Microsoft "ODBC Driver NN for SQL
// Server", otherwise the one registered as "FreeTDS", otherwise the first FreeTDS library
// that `exists`.
std::optional<SqlServerDriver> chooseSqlServerDriver(
    const std::vector<std::string>& registered,
    const std::function<bool(const std::string&)>& exists);

// The names of the drivers registered with the ODBC driver manager.
std::vector<std::string> registeredOdbcDrivers();

// The driver for this computer; throws DataAccessError when there is none.
SqlServerDriver findSqlServerDriver();

}  // namespace leafward::odbc
