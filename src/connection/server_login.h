#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "connection/shared_connection.h"
#include "connection/steps.h"
#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

namespace leafward::connection {

// What opening a SQL Server account set works on: the program's one connection and recordset
// and the texts last built for them. Holds references; the objects live for the whole run.
struct ServerLink {
  dataaccess::Connection& cnData;
  std::shared_ptr<dataaccess::Recordset>& rsData;
  std::string& strConn;
  std::string& strSQL;
  // Opens `cnData` with a connection string, an empty user and password and options -1.
  // Throws DataAccessError when it does not open. Tests put a stand-in here.
  std::function<void(dataaccess::Connection&, const std::string&)> open =
      [](dataaccess::Connection& connection, const std::string& text) {
        connection.open(text, "", "", -1);
      };
};

inline ServerLink serverLinkOf(SharedConnection& shared) {
  return {shared.cnData, shared.rsData, shared.strConn, shared.strSQL};
}

// The login of `sa`: its password, the server computer's name and the account-set database.
struct ServerLogin {
  std::string password;
  std::string server;
  std::optional<std::string> database;  // none: the server's master database
};

// Builds `strConn` for `login`, closes `cnData` when it is open and opens it on `strConn`.
// Returns whether `cnData` is open afterwards. Under OnFailure::Stop a failed open throws
// DataAccessError instead.
bool openServerConnection(ServerLink& link, const ServerLogin& login, OnFailure rule);

// Lists the account-set databases of the server `cnData` is open on: `strSQL` becomes the
// account-set query and `rsData` a recordset opened on it. When the query opened, `listOpened`
// runs (when given), `take` receives each name in the order the server gives them, and `rsData`
// is closed. Returns false when the query did not open (under OnFailure::Stop it throws).
bool listAccountSets(ServerLink& link, OnFailure rule, const std::function<void()>& listOpened,
                     const std::function<void(const std::string&)>& take);

}  // namespace leafward::connection
