#include <charconv>
#include <cstdint>
#include <optional>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_session.h"
#include "dataaccess/odbc/odbc_session.h"
#include "dataaccess/session.h"

namespace leafward::dataaccess {
namespace {

// "Code Page=936": the Windows code page of an Access 97 file's text, for a file whose header
// names another (written on a system set to a different language). Absent or empty: the
// header's.
std::optional<std::uint16_t> codePageOf(const ConnectionString& connection) {
  const std::optional<std::string> text = connection.get("Code Page");
  if (!text || text->empty()) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size() || value == 0 || value > 65535) {
    throw DataAccessError("The code page '" + *text + "' is not a code page number");
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::unique_ptr<Session> openSession(const ConnectionString& connection, std::string_view user,
                                     std::string_view password) {
  const std::optional<std::string> provider = connection.get("Provider");
  if (!provider || provider->empty()) {
    throw DataAccessError("The connection string names no provider");
  }
  if (equalsIgnoringCase(*provider, "Microsoft.Jet.OLEDB.4.0")) {
    const std::optional<std::string> file = connection.get("Data Source");
    if (!file || file->empty()) throw DataAccessError("The connection string names no file");
    return jet::openJetSession(*file, codePageOf(connection));
  }
  if (equalsIgnoringCase(*provider, "SQLOLEDB")) {
    return odbc::openOdbcSession(connection, user, password);
  }
  throw DataAccessError("Unknown provider: " + *provider);
}

}  // namespace leafward::dataaccess
