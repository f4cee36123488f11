#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "audit/workbench.h"
#include "connection/shared_connection.h"
#include "record/account_set.h"

namespace leafward::cli {

// The exit codes of check and update.
inline constexpr int kExitClean = 0;        // check found nothing; update ran both repairs
inline constexpr int kExitErrorsFound = 1;  // check reported something
inline constexpr int kExitFailed = 2;       // not opened or read, a repair refused, bad usage
inline constexpr int kExitNoVerdict = 3;    // check ended without a verdict

// The worse of two exit codes, from worst to best: 2, 3, 1, 0.
int worseExitCode(int a, int b);

// An account set as a command names it: in headings and reasons, and for its record (the
// file's full real path, so `identity` throws platform::SystemError when the file is gone).
struct NamedAccountSet {
  std::string name;
  std::function<record::AccountSet()> identity;
};

// What a command does on one open account set; returns the exit code for it.
using AccountSetWork =
    std::function<int(connection::SharedConnection& shared, const NamedAccountSet& set)>;

// How the account sets of one run are set apart in the output.
struct RunReporting {
  // With more than one account set, or with --all-databases, each one's output begins with
  // the line "== NAME ==".
  bool headings = true;
  // Told of each account set that could not be opened or worked on, with the reason that also
  // goes to `err`.
  std::function<void(const NamedAccountSet& set, const std::string& reason)> failed;
};

// How many account sets a command takes: any number (FILE..., or --all-databases too), or
// exactly one (FILE, or --server NAME --database NAME).
enum class Scope { Many, One };

// Runs `work` on each account set that `words` name, one after the other, each opened the way
// the window's Open or Link does on a connection of its own: FILE..., --server NAME
// --database NAME, or --server NAME --all-databases (every account set the server lists, with
// one password for all). With more than one file, or with --all-databases, the output of each
// account set begins with the line "== NAME ==" (unless `reporting` says otherwise). One that
// cannot be opened gets a one-line reason on `err` and exit code 2, and the others still run.
// Returns the worst exit code; 2, with the usage of `command` on `err`, when the words do not name
// account sets this way (or name more than one where `scope` is One), or when the server's account
// sets cannot be listed.
int runOnAccountSets(const std::string& command, const std::vector<std::string>& words,
                     std::ostream& out, std::ostream& err, const AccountSetWork& work,
                     Scope scope = Scope::Many, const RunReporting& reporting = {});

// The one account set that `words` name (FILE, or --server NAME --database NAME; no
// --code-page), without opening it or asking for a password; nothing, with the usage of `command`
// (and the reason, if there is more to say) on `err`, when they do not name exactly one.
std::optional<NamedAccountSet> oneAccountSet(const std::string& command,
                                             const std::vector<std::string>& words,
                                             std::ostream& err);

// Adds one failure to a list of them, "; " between.
void addFailure(std::string& failures, const std::string& failure);

// The exit code of one account set's work: 0 without failures; otherwise 2, with the reason
// "<what>: <failures>" on `err`.
int exitCodeFor(const std::string& failures, const std::string& what, std::ostream& err);

// Prints the result box's text: each CR LF as a newline, then a final newline.
void printReport(const audit::TextWorkbench& bench, std::ostream& out);

}  // namespace leafward::cli
