#pragma once

#include <optional>
#include <string>
#include <vector>

#include "connection/shared_connection.h"

namespace leafward::cli {

// A SQL Server account set named on the command line instead of a file.
struct ServerTarget {
  std::string server;
  std::optional<std::string> database;  // none: the server's master database
};

// Takes "--server NAME" and "--database NAME" (also "--server=NAME") from the words before
// the first "--" out of `args`, leaving the other words in order. Returns the target when --server
// was given. Throws std::invalid_argument for an option without its value, a repeated option, or
// --database without --server.
std::optional<ServerTarget> takeServerTarget(std::vector<std::string>& args);

// The password of `sa`: the environment variable LEAFWARD_SA_PASSWORD when it is set (even to
// an empty text), otherwise asked for on the terminal without echo. Never taken from the
// command line. Throws std::runtime_error when it is unset and there is no terminal.
std::string saPassword(const std::string& server);

// Builds the connection string for the target into `shared.strConn` and opens the shared
// connection on it, closing what was open; the connection kind becomes SQL Server. Throws
// DataAccessError when it does not open.
void openServer(connection::SharedConnection& shared, const ServerTarget& target,
                const std::string& password);

}  // namespace leafward::cli
