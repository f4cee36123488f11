#include <ostream>

#include "cli/commands.h"
#include "cli/reasons.h"
#include "cli/server_target.h"
#include "connection/server_login.h"

namespace leafward::cli {

int runDatabases(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  constexpr const char* kUsage = "usage: leafward-cli databases --server NAME\n";
  std::vector<std::string> args = words;
  std::optional<ServerTarget> target;
  std::string failure;
  try {
    target = takeServerTarget(args);
    if (!target) {
      failure = "databases needs --server NAME";
    } else if (target->database) {
      failure = "databases lists every account set and takes no --database";
    } else if (!args.empty()) {
      failure = "unexpected '" + args.front() + "'";
    }
  } catch (const std::invalid_argument& error) {
    failure = error.what();
  }
  if (!failure.empty()) {
    writeReason(err, failure);
    err << kUsage;
    return 2;
  }

  connection::SharedConnection shared;
  shared.startUp();
  try {
    openServer(shared, *target, saPassword(target->server));
    std::string names;
    connection::ServerLink link = connection::serverLinkOf(shared);
    connection::listAccountSets(link, connection::OnFailure::Stop, {},
                                [&](const std::string& name) {
                                  names += name;
                                  names += '\n';
                                });
    shared.shutDown();
    out << names;
    out.flush();
  } catch (const std::exception& error) {
    shared.shutDown();
    writeReason(err, error.what());
    return 2;
  }
  return 0;
}

}  // namespace leafward::cli
