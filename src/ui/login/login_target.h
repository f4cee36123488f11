#pragma once

#include <functional>
#include <memory>
#include <string>

#include "connection/shared_connection.h"
#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

namespace leafward::ui {

// What the login dialog works on: the program's one connection and recordset, and the texts
// last built for them. The dialog holds references; the objects live for the whole run.
struct LoginTarget {
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

// The login dialog's view of the program's shared connection.
inline LoginTarget loginTargetOf(connection::SharedConnection& shared) {
  return {shared.cnData, shared.rsData, shared.strConn, shared.strSQL};
}

}  // namespace leafward::ui
