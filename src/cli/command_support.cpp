#include "cli/command_support.h"

#include <optional>
#include <ostream>

#include "cli/command_line.h"
#include "cli/reasons.h"
#include "cli/server_target.h"
#include "connection/server_login.h"
#include "connection/steps.h"

namespace leafward::cli {
namespace {

// The account sets named on the command line.
struct Request {
  std::vector<std::string> files;
  std::optional<ServerTarget> server;
  bool allDatabases = false;
  std::optional<std::string> codePage;  // of an Access 97 file's text
};

struct AccountSet {
  NamedAccountSet named;
  std::function<void(connection::SharedConnection&)> open;
};

// Nothing when the words do not name account sets (or more than one where `scope` is One);
// `failure` then says why.
std::optional<Request> readRequest(const std::vector<std::string>& words, Scope scope,
                                   std::string& failure) {
  Request request;
  std::vector<std::string> args = words;
  const bool read = connection::attempt(
      [&] {
        request.server = takeServerTarget(args);
        request.allDatabases = takeFlag(args, "--all-databases");
        request.codePage = takeValue(args, "--code-page");
        request.files = takeOperands(args);
      },
      &failure);
  if (!read) return std::nullopt;
  if (scope == Scope::One && (request.allDatabases || request.files.size() > 1)) {
    failure = "only one account set can be named";
    return std::nullopt;
  }
  if (!request.server) {
    if (request.allDatabases) failure = "--all-databases needs --server";
    if (request.files.empty() && !request.allDatabases) failure = "no account set was named";
  } else if (!request.files.empty()) {
    failure = "files and --server cannot be named together";
  } else if (request.server->database.has_value() == request.allDatabases) {
    failure = "--server needs either --database NAME or --all-databases";
  }
  if (!failure.empty()) return std::nullopt;
  return request;
}

void printUsage(const std::string& command, Scope scope, std::ostream& err, bool codePage = true) {
  if (scope == Scope::One) {
    err << "usage: leafward-cli " << command << (codePage ? " [--code-page N]" : "") << " FILE\n"
        << "       leafward-cli " << command << " --server NAME --database NAME\n";
    return;
  }
  err << "usage: leafward-cli " << command << " [--code-page N] FILE...\n"
      << "       leafward-cli " << command << " --server NAME --database NAME\n"
      << "       leafward-cli " << command << " --server NAME --all-databases\n";
}

NamedAccountSet namedFile(const std::string& file) {
  return {file, [file] { return record::AccountSet::accessFile(file); }};
}

NamedAccountSet namedDatabase(const ServerTarget& target) {
  return {*target.database + " on " + target.server,
          [target] { return record::AccountSet::serverDatabase(target.server, *target.database); }};
}

// The account sets a request names; for --all-databases those the server lists. Throws when
// the server's list cannot be had.
std::vector<AccountSet> accountSetsOf(const Request& request) {
  std::vector<AccountSet> sets;
  for (const std::string& file : request.files) {
    sets.push_back({namedFile(file),
                    [file, codePage = request.codePage](connection::SharedConnection& shared) {
                      shared.openAccess(file, codePage);
                    }});
  }
  if (!request.server) return sets;
  const ServerTarget& server = *request.server;
  if (server.database) {
    sets.push_back({namedDatabase(server), [server](connection::SharedConnection& shared) {
                      openServer(shared, server, saPassword(server.server));
                    }});
    return sets;
  }
  const std::string password = saPassword(server.server);
  connection::SharedConnection master;  // closed when it goes, also on failure
  master.startUp();
  openServer(master, ServerTarget{server.server, std::nullopt}, password);
  std::vector<std::string> names;
  connection::ServerLink link = connection::serverLinkOf(master);
  connection::listAccountSets(link, connection::OnFailure::Stop, {},
                              [&](const std::string& name) { names.push_back(name); });
  master.shutDown();
  for (const std::string& name : names) {
    const ServerTarget target{server.server, name};
    sets.push_back(
        {namedDatabase(target), [target, password](connection::SharedConnection& shared) {
           openServer(shared, target, password);
         }});
  }
  return sets;
}

int runOn(const AccountSet& set, const AccountSetWork& work, std::ostream& err,
          const RunReporting& reporting) {
  connection::SharedConnection shared;
  std::string failure, reason;
  int code = kExitFailed;
  if (!connection::attempt(
          [&] {
            shared.startUp();
            set.open(shared);
          },
          &failure)) {
    reason = "cannot open " + set.named.name + ": " + failure;
  } else if (!connection::attempt([&] { code = work(shared, set.named); }, &failure)) {
    reason = set.named.name + ": " + failure;
    code = kExitFailed;
  }
  shared.shutDown();
  if (!reason.empty()) {
    writeReason(err, reason);
    if (reporting.failed) reporting.failed(set.named, reason);
  }
  return code;
}

int rank(int exitCode) {
  switch (exitCode) {
    case kExitClean:
      return 0;
    case kExitErrorsFound:
      return 1;
    case kExitNoVerdict:
      return 2;
    default:
      return 3;
  }
}

}  // namespace

int worseExitCode(int a, int b) {
  return rank(a) >= rank(b) ? a : b;
}

int runOnAccountSets(const std::string& command, const std::vector<std::string>& words,
                     std::ostream& out, std::ostream& err, const AccountSetWork& work, Scope scope,
                     const RunReporting& reporting) {
  std::string failure;
  const std::optional<Request> request = readRequest(words, scope, failure);
  if (!request) {
    writeReason(err, failure);
    printUsage(command, scope, err);
    return kExitFailed;
  }
  std::vector<AccountSet> sets;
  if (!connection::attempt([&] { sets = accountSetsOf(*request); }, &failure)) {
    writeReason(err, "cannot list the account sets on " + request->server->server + ": " + failure);
    return kExitFailed;
  }
  if (request->allDatabases && sets.empty()) {
    writeReason(err, request->server->server + " has no account-set databases");
  }
  const bool headings = reporting.headings && (sets.size() > 1 || request->allDatabases);
  int worst = kExitClean;
  for (const AccountSet& set : sets) {
    if (headings) out << "== " << escapeControlCharacters(set.named.name) << " ==" << std::endl;
    worst = worseExitCode(worst, runOn(set, work, err, reporting));
  }
  return worst;
}

std::optional<NamedAccountSet> oneAccountSet(const std::string& command,
                                             const std::vector<std::string>& words,
                                             std::ostream& err) {
  std::string failure;
  const std::optional<Request> request = readRequest(words, Scope::One, failure);
  if (!request || request->codePage) {
    writeReason(err, request ? command + " takes no --code-page" : failure);
    printUsage(command, Scope::One, err, false);
    return std::nullopt;
  }
  return request->server ? namedDatabase(*request->server) : namedFile(request->files.front());
}

void addFailure(std::string& failures, const std::string& failure) {
  if (failure.empty()) return;
  if (!failures.empty()) failures += "; ";
  failures += failure;
}

int exitCodeFor(const std::string& failures, const std::string& what, std::ostream& err) {
  if (failures.empty()) return kExitClean;
  writeReason(err, what + ": " + failures);
  return kExitFailed;
}

void printReport(const audit::TextWorkbench& bench, std::ostream& out) {
  out << connection::replaceAll(bench.text, "\r\n", "\n") << "\n";
  out.flush();
}

}  // namespace leafward::cli
