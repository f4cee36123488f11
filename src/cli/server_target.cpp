#include "cli/server_target.h"

#include <cstdlib>
#include <stdexcept>

#include "cli/command_line.h"
#include "cli/reasons.h"
#include "connection/server_login.h"
#include "platform/console.h"
#include "platform/program_text.h"

namespace leafward::cli {
namespace {

constexpr const char* kPasswordVariable = "LEAFWARD_SA_PASSWORD";

}  // namespace

std::optional<ServerTarget> takeServerTarget(std::vector<std::string>& args) {
  const std::optional<std::string> server = takeValue(args, "--server");
  const std::optional<std::string> database = takeValue(args, "--database");
  if (database && !server) throw std::invalid_argument("--database needs --server");
  if (!server) return std::nullopt;
  return ServerTarget{*server, database};
}

std::string saPassword(const std::string& server) {
  if (auto value = platform::environmentVariable(kPasswordVariable)) return *value;
  try {
    return platform::askWithoutEcho("Password of sa on " + escapeControlCharacters(server) + ": ");
  } catch (const std::exception&) {
    throw std::runtime_error(std::string(kPasswordVariable) +
                             " is not set and there is no terminal to ask for the password");
  }
}

void openServer(connection::SharedConnection& shared, const ServerTarget& target,
                const std::string& password) {
  shared.blnServer = true;
  connection::ServerLink link = connection::serverLinkOf(shared);
  connection::openServerConnection(link, {password, target.server, target.database},
                                   connection::OnFailure::Stop);
}

}  // namespace leafward::cli
