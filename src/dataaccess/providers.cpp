#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_session.h"
#include "dataaccess/odbc/odbc_session.h"
#include "dataaccess/session.h"

namespace leafward::dataaccess {
std::unique_ptr<Session> openSession(const ConnectionString& connection, std::string_view user,
                                     std::string_view password) {
  const std::optional<std::string> provider = connection.get("Provider");
  if (!provider || provider->empty()) {
    throw DataAccessError("The connection string names no provider");
  }
  if (equalsIgnoringCase(*provider, "Microsoft.Jet.OLEDB.4.0")) {
    const std::optional<std::string> file = connection.get("Data Source");
    if (!file || file->empty()) throw DataAccessError("The connection string names no file");
    return jet::openJetSession(*file);
  }
  if (equalsIgnoringCase(*provider, "SQLOLEDB")) {
    return odbc::openOdbcSession(connection, user, password);
  }
  throw DataAccessError("Unknown provider: " + *provider);
}

}  // namespace leafward::dataaccess
