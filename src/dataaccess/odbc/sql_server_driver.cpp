#include "dataaccess/odbc/sql_server_driver.h"

#include <array>
#include <filesystem>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/odbc_handles.h"

namespace leafward::odbc {
namespace {

// NN of "ODBC Driver NN for SQL Server", or nothing for any other name.
std::optional<int> microsoftDriverVersion(std::string_view name) {
  constexpr std::string_view kPrefix = "ODBC Driver ";
  constexpr std::string_view kSuffix = " for SQL Server";
  if (name.size() <= kPrefix.size() + kSuffix.size()) return std::nullopt;
  if (!dataaccess::equalsIgnoringCase(name.substr(0, kPrefix.size()), kPrefix)) return std::nullopt;
  if (!dataaccess::equalsIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix)) {
    return std::nullopt;
  }
  const std::string_view digits =
      name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  int version = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    version = version * 10 + (c - '0');
  }
  return version;
}

}  // namespace

const std::vector<std::string>& freeTdsLibraryPaths() {
  static const std::vector<std::string> paths = {
      "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so",
      "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so",
      "/usr/lib/odbc/libtdsodbc.so",
      "/usr/local/lib/libtdsodbc.so",
  };
  return paths;
}

std::optional<SqlServerDriver> chooseSqlServerDriver(
    const std::vector<std::string>& registered,
    const std::function<bool(const std::string&)>& exists) {
  std::optional<SqlServerDriver> best;
  for (const std::string& name : registered) {
    const std::optional<int> version = microsoftDriverVersion(name);
    if (version && (!best || *version > best->version)) {
      best = SqlServerDriver{SqlServerDriver::Kind::Microsoft, name, *version};
    }
  }
  if (best) return best;
  for (const std::string& name : registered) {
    if (dataaccess::equalsIgnoringCase(name, "FreeTDS")) {
      return SqlServerDriver{SqlServerDriver::Kind::FreeTds, name, 0};
    }
  }
  for (const std::string& path : freeTdsLibraryPaths()) {
    if (exists(path)) return SqlServerDriver{SqlServerDriver::Kind::FreeTds, path, 0};
  }
  return std::nullopt;
}

std::vector<std::string> registeredOdbcDrivers() {
  Handle environment = allocateEnvironment();
  std::vector<std::string> names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (int guard = 0; guard < 1000; ++guard) {
    std::array<SQLCHAR, 512> name{};
    std::array<SQLCHAR, 2048> attributes{};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    const SQLRETURN rc =
        SQLDrivers(environment.get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()),
                   &nameLength, attributes.data(), static_cast<SQLSMALLINT>(attributes.size()),
                   &attributesLength);
    if (!succeeded(rc)) break;
    names.emplace_back(reinterpret_cast<const char*>(name.data()));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

SqlServerDriver findSqlServerDriver() {
  const auto exists = [](const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
  };
  if (auto driver = chooseSqlServerDriver(registeredOdbcDrivers(), exists)) return *driver;
  throw dataaccess::DataAccessError(
      "No ODBC driver for SQL Server is installed (install FreeTDS's tdsodbc or Microsoft's "
      "ODBC Driver for SQL Server)");
}

}  // namespace leafward::odbc
