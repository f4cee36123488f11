#include "dataaccess/odbc/sql_server_driver.h"

#include <array>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/odbc/odbc_handles.h"
#include "platform/file.h"

namespace leafward::odbc {
namespace {

// The number between a name's prefix and suffix (matched without regard to case): up to four
// digits, or with `dotted` "NN.N" as NN * 100 + N. Nothing for any other name.
std::optional<int> versionIn(std::string_view name, std::string_view prefix,
                             std::string_view suffix, bool dotted) {
  if (name.size() <= prefix.size() + suffix.size()) return std::nullopt;
  if (!dataaccess::equalsIgnoringCase(name.substr(0, prefix.size()), prefix)) return std::nullopt;
  if (!dataaccess::equalsIgnoringCase(name.substr(name.size() - suffix.size()), suffix)) {
    return std::nullopt;
  }
  const std::string_view number =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const auto digits = [](std::string_view text) -> std::optional<int> {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int value = 0;
    for (char c : text) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    return value;
  };
  if (!dotted) return digits(number);
  const std::size_t dot = number.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const auto major = digits(number.substr(0, dot));
  const auto minor = digits(number.substr(dot + 1));
  if (!major || !minor || *minor > 99) return std::nullopt;
  return *major * 100 + *minor;
}

// The registered driver of `kind` with the highest version.
std::optional<SqlServerDriver> highest(const std::vector<std::string>& registered,
                                       SqlServerDriver::Kind kind, std::string_view prefix,
                                       std::string_view suffix, bool dotted, bool windows) {
  std::optional<SqlServerDriver> best;
  for (const std::string& name : registered) {
    const std::optional<int> version = versionIn(name, prefix, suffix, dotted);
    if (version && (!best || *version > best->version)) {
      best = SqlServerDriver{kind, name, *version, windows};
    }
  }
  return best;
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
    const std::function<bool(const std::string&)>& exists, bool windows) {
  using Kind = SqlServerDriver::Kind;
  if (auto microsoft =
          highest(registered, Kind::Microsoft, "ODBC Driver ", " for SQL Server", false, windows)) {
    return microsoft;
  }
  if (windows) {
    if (auto nativeClient = highest(registered, Kind::NativeClient, "SQL Server Native Client ", "",
                                    true, windows)) {
      return nativeClient;
    }
    for (const std::string& name : registered) {
      if (dataaccess::equalsIgnoringCase(name, "SQL Server")) {
        return SqlServerDriver{Kind::Legacy, name, 0, windows};
      }
    }
    return std::nullopt;
  }
  for (const std::string& name : registered) {
    if (dataaccess::equalsIgnoringCase(name, "FreeTDS")) {
      return SqlServerDriver{Kind::FreeTds, name, 0, windows};
    }
  }
  for (const std::string& path : freeTdsLibraryPaths()) {
    if (exists(path)) return SqlServerDriver{Kind::FreeTds, path, 0, windows};
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
    try {
      return platform::entryKind(path, platform::FinalLink::Follow) == platform::EntryKind::File;
    } catch (const platform::SystemError&) {
      return false;
    }
  };
  if (auto driver = chooseSqlServerDriver(registeredOdbcDrivers(), exists)) return *driver;
  throw dataaccess::DataAccessError(
      platform::kOnWindows
          ? "No ODBC driver for SQL Server is installed (install Microsoft's ODBC Driver "
            "for SQL Server)"
          : "No ODBC driver for SQL Server is installed (install FreeTDS's tdsodbc or "
            "Microsoft's ODBC Driver for SQL Server)");
}

}  // namespace leafward::odbc
