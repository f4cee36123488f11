#pragma once

#include <string>
#include <vector>

#include "connection/shared_connection.h"

namespace leafward::cli {

// The server's account-set databases, in the order it lists them, read through `shared`
// opened (started up by the caller) on the server's master database as `sa`. Throws
// DataAccessError when the server cannot be reached or queried.
std::vector<std::string> listAccountSetNames(connection::SharedConnection& shared,
                                             const std::string& server,
                                             const std::string& password);

}  // namespace leafward::cli
