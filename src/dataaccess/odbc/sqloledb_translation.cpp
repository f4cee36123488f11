#include "dataaccess/odbc/sqloledb_translation.h"

#include <optional>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"

namespace leafward::odbc {
namespace {

using dataaccess::ConnectionString;
using dataaccess::equalsIgnoringCase;

constexpr std::string_view kThisComputer = "127.0.0.1";

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The first of several names an OLE DB key goes by.
std::optional<std::string> firstOf(const ConnectionString& oledb,
                                   std::initializer_list<std::string_view> keys) {
  for (std::string_view key : keys) {
    if (auto value = oledb.get(key)) return value;
  }
  return std::nullopt;
}

bool meansThisComputer(std::string_view host) {
  return host.empty() || host == "." || equalsIgnoringCase(host, "(local)");
}

bool isTrusted(const ConnectionString& oledb) {
  const auto integrated = oledb.get("Integrated Security");
  const auto trusted = oledb.get("Trusted_Connection");
  return (integrated &&
          (equalsIgnoringCase(*integrated, "SSPI") || equalsIgnoringCase(*integrated, "true") ||
           equalsIgnoringCase(*integrated, "yes"))) ||
         (trusted && (equalsIgnoringCase(*trusted, "yes") || equalsIgnoringCase(*trusted, "true")));
}

}  // namespace

std::string odbcBraced(std::string_view value) {
  std::string braced = "{";
  for (char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  braced += '}';
  return braced;
}

std::string freeTdsValue(std::string_view value, std::string_view what) {
  if (value.find("};") != std::string_view::npos) {
    throw dataaccess::DataAccessError("The " + std::string(what) +
                                      " holds \"};\", which cannot be given to FreeTDS");
  }
  std::string braced = "{";
  braced.append(value);
  braced += '}';
  return braced;
}

std::string legacyDriverValue(std::string_view value, std::string_view what) {
  if (value.find('}') != std::string_view::npos) {
    throw dataaccess::DataAccessError("The " + std::string(what) +
                                      " holds \"}\", which cannot be given to the \"SQL Server\" "
                                      "ODBC driver");
  }
  std::string braced = "{";
  braced.append(value);
  braced += '}';
  return braced;
}

ServerAddress parseDataSource(std::string_view dataSource) {
  std::string_view rest = trim(dataSource);
  for (std::string_view protocol : {"tcp:", "lpc:"}) {
    if (rest.size() >= protocol.size() &&
        equalsIgnoringCase(rest.substr(0, protocol.size()), protocol)) {
      rest = trim(rest.substr(protocol.size()));
      break;
    }
  }
  ServerAddress address;
  if (const std::size_t comma = rest.rfind(','); comma != std::string_view::npos) {
    const std::string_view port = trim(rest.substr(comma + 1));
    long number = 0;
    bool valid = !port.empty() && port.size() <= 5;
    for (char c : port) {
      valid = valid && c >= '0' && c <= '9';
      if (valid) number = number * 10 + (c - '0');
    }
    if (!valid || number < 1 || number > 65535) {
      throw dataaccess::DataAccessError("The server name '" + std::string(dataSource) +
                                        "' holds an invalid port");
    }
    address.port = std::to_string(number);
    rest = trim(rest.substr(0, comma));
  }
  if (const std::size_t slash = rest.find('\\'); slash != std::string_view::npos) {
    address.instance = std::string(trim(rest.substr(slash + 1)));
    rest = trim(rest.substr(0, slash));
  }
  address.thisComputer = meansThisComputer(rest);
  address.host = address.thisComputer ? std::string(kThisComputer) : std::string(rest);
  return address;
}

namespace {

using Kind = SqlServerDriver::Kind;

// A value as the driver takes it; `what` names it when the driver cannot.
std::string driverValue(const SqlServerDriver& driver, std::string_view text,
                        std::string_view what) {
  switch (driver.kind) {
    case Kind::FreeTds:
      return freeTdsValue(text, what);
    case Kind::Legacy:
      return legacyDriverValue(text, what);
    case Kind::Microsoft:
    case Kind::NativeClient:
      break;
  }
  return odbcBraced(text);
}

// The server to reach, in the keys the driver knows.
std::string serverKeys(const ServerAddress& address, const SqlServerDriver& driver) {
  if (driver.kind != Kind::FreeTds) {
    // Microsoft's drivers take SQLOLEDB's own forms. On Windows "(local)" also reaches a server
    // on this computer that does not listen on TCP (SQL Server Express, as installed); a port
    // means TCP anyway.
    std::string server = address.host;
    if (address.thisComputer && driver.windows && address.port.empty()) server = "(local)";
    if (!address.instance.empty()) server += "\\" + address.instance;
    if (!address.port.empty()) server += "," + address.port;
    return "Server=" + driverValue(driver, server, "server name") + ";";
  }
  if (!address.port.empty()) {
    // FreeTDS asks the SQL Server Browser for an instance's port; a given port makes that moot.
    return "Server=" + driverValue(driver, address.host, "server name") + ";Port=" + address.port +
           ";";
  }
  if (!address.instance.empty()) {
    return "Server=" + driverValue(driver, address.host + "\\" + address.instance, "server name") +
           ";";
  }
  return "Server=" + driverValue(driver, address.host, "server name") + ";";
}

// Encrypt when the server asks for it, without insisting on a trusted certificate.
std::string encryptionKeys(const SqlServerDriver& driver) {
  switch (driver.kind) {
    case Kind::Microsoft:
      // Version 18 encrypts by default and knows "Optional"; the older ones know "no".
      return std::string(driver.version >= 18 ? "Encrypt=Optional;" : "Encrypt=no;") +
             "TrustServerCertificate=yes;";
    case Kind::NativeClient:
      return "Encrypt=no;TrustServerCertificate=yes;";
    case Kind::Legacy:
      // It knows no TrustServerCertificate, and would check the certificate if asked to
      // encrypt: left alone, it encrypts exactly when the server requires it.
      break;
    case Kind::FreeTds:
      // TDS 7.4 is what FreeTDS tries first when left to choose, and every SQL Server answers
      // it with the version it speaks. Left to choose, FreeTDS would go on to try the Sybase
      // protocol after a time-out, and may then wait for ever on a server that stays silent.
      return "TDS_Version=7.4;Encryption=request;ClientCharset=UTF-8;";
  }
  return {};
}

}  // namespace

std::string odbcConnectionString(const ConnectionString& oledb, const SqlServerDriver& driver,
                                 std::string_view user, std::string_view password) {
  const ServerAddress address = parseDataSource(
      firstOf(oledb, {"Data Source", "Server", "Address", "Addr", "Network Address"}).value_or(""));
  const auto value = [&driver](std::string_view text, std::string_view what) {
    return driverValue(driver, text, what);
  };

  std::string text = "DRIVER=" + odbcBraced(driver.name) + ";";
  text += serverKeys(address, driver);
  if (const auto database = firstOf(oledb, {"Initial Catalog", "Database"});
      database && !database->empty()) {
    text += "Database=" + value(*database, "database name") + ";";
  }

  if (isTrusted(oledb)) {
    text += "Trusted_Connection=Yes;";
  } else {
    const std::string uid =
        user.empty() ? firstOf(oledb, {"User ID", "UID", "User"}).value_or("") : std::string(user);
    text += "UID=" + value(uid, "user name") + ";";
    text += "PWD=" + value(loginPassword(oledb, password), "password") + ";";
  }

  text += "APP={Leafward};";
  text += encryptionKeys(driver);
  return text;
}

std::string loginPassword(const ConnectionString& oledb, std::string_view password) {
  if (!password.empty()) return std::string(password);
  return firstOf(oledb, {"Password", "PWD"}).value_or("");
}

std::string describeServer(const ConnectionString& oledb) {
  const std::string name =
      firstOf(oledb, {"Data Source", "Server", "Address", "Addr", "Network Address"}).value_or("");
  return "SQL Server '" + name + "'";
}

}  // namespace leafward::odbc
