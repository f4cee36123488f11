#pragma once

#include "connection/server_login.h"
#include "connection/shared_connection.h"

namespace leafward::ui {

// What the login dialog works on: the program's one connection and recordset, and the texts
// last built for them.
using LoginTarget = connection::ServerLink;

// The login dialog's view of the program's shared connection.
inline LoginTarget loginTargetOf(connection::SharedConnection& shared) {
  return connection::serverLinkOf(shared);
}

}  // namespace leafward::ui
