#include "cli/command_support.h"

#include <algorithm>
#include <ostream>

#include "cli/server_target.h"
#include "connection/steps.h"

namespace leafward::cli {

std::optional<std::string> openAccountSet(const std::string& command,
                                          const std::vector<std::string>& words,
                                          connection::SharedConnection& shared, std::ostream& err) {
  std::vector<std::string> args = words;
  std::optional<ServerTarget> server;
  std::string failure;
  if (!connection::attempt([&] { server = takeServerTarget(args); }, &failure) ||
      (server ? !server->database || !args.empty() : args.size() != 1)) {
    if (!failure.empty()) err << "leafward-cli: " << failure << "\n";
    err << "usage: leafward-cli " << command << " FILE\n"
        << "       leafward-cli " << command << " --server NAME --database NAME\n";
    return std::nullopt;
  }
  const std::string name = server ? *server->database + " on " + server->server : args[0];
  shared.startUp();
  const auto open = [&] {
    if (server) {
      openServer(shared, *server, saPassword(server->server));
    } else {
      shared.openAccess(name);
    }
  };
  if (!connection::attempt(open, &failure)) {
    err << "leafward-cli: cannot open " << name << ": " << onOneLine(failure) << "\n";
    return std::nullopt;
  }
  return name;
}

void printReport(const audit::TextWorkbench& bench, std::ostream& out) {
  out << connection::replaceAll(bench.text, "\r\n", "\n") << "\n";
  out.flush();
}

std::string onOneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

}  // namespace leafward::cli
