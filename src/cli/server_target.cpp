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

// Takes the value of `option` at `i` ("--option VALUE" or "--option=VALUE"); false when the
// word is another one.
bool takeOption(std::vector<std::string>& args, std::size_t i, const std::string& option,
                std::optional<std::string>& value) {
  const std::string& word = args[i];
  std::optional<std::string> found;
  std::size_t words = 1;
  if (word == option) {
    if (i + 1 >= args.size()) throw std::invalid_argument(option + " needs a value");
    found = args[i + 1];
    words = 2;
  } else if (word.rfind(option + "=", 0) == 0) {
    found = word.substr(option.size() + 1);
  } else {
    return false;
  }
  if (value) throw std::invalid_argument(option + " is given twice");
  value = std::move(found);
  args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
             args.begin() + static_cast<std::ptrdiff_t>(i + words));
  return true;
}

}  // namespace

std::optional<ServerTarget> takeServerTarget(std::vector<std::string>& args) {
  std::optional<std::string> server;
  std::optional<std::string> database;
  for (std::size_t i = 0; i < args.size() && args[i] != kEndOfOptions;) {
    if (!takeOption(args, i, "--server", server) && !takeOption(args, i, "--database", database)) {
      ++i;
    }
  }
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
