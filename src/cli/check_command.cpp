#include <ostream>

#include "audit/check.h"
#include "audit/workbench.h"
#include "cli/commands.h"
#include "cli/server_target.h"
#include "connection/shared_connection.h"
#include "connection/steps.h"
#include "dataaccess/errors.h"

namespace leafward::cli {
namespace {

constexpr int kNoErrors = 0;
constexpr int kErrorsReported = 1;
constexpr int kCannotRead = 2;
constexpr int kNoVerdict = 3;

std::string withNewlines(const std::string& report) {
  return connection::replaceAll(report, "\r\n", "\n");
}

}  // namespace

int runCheck(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  constexpr const char* kUsage =
      "usage: leafward-cli check FILE\n"
      "       leafward-cli check --server NAME --database NAME\n";
  std::vector<std::string> args = words;
  std::optional<ServerTarget> server;
  std::string failure;
  if (!connection::attempt([&] { server = takeServerTarget(args); }, &failure) ||
      (server ? !server->database || !args.empty() : args.size() != 1)) {
    if (!failure.empty()) err << "leafward-cli: " << failure << "\n";
    err << kUsage;
    return kCannotRead;
  }
  const std::string file = server ? *server->database + " on " + server->server : args[0];
  connection::SharedConnection shared;
  shared.startUp();
  const auto open = [&] {
    if (server) {
      openServer(shared, *server, saPassword(server->server));
    } else {
      shared.openAccess(file);
    }
  };
  if (!connection::attempt(open, &failure)) {
    err << "leafward-cli: cannot open " << file << ": " << failure << "\n";
    return kCannotRead;
  }

  audit::TextWorkbench bench;
  const audit::CheckOutcome outcome = audit::runCheck(shared, bench);
  shared.shutDown();
  if (outcome.end == audit::CheckEnd::EndedEarly && !outcome.failure.empty()) {
    err << "leafward-cli: cannot read " << file << ": " << outcome.failure << "\n";
    return kCannotRead;
  }

  out << withNewlines(bench.text) << "\n";
  out.flush();
  if (outcome.end != audit::CheckEnd::Finished) {
    err << "leafward-cli: the check ended without a verdict (the code table holds no codes)\n";
    return kNoVerdict;
  }
  return bench.text == "没有发现错误" ? kNoErrors : kErrorsReported;
}

}  // namespace leafward::cli
