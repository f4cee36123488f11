#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace leafward::cli {

// Each command takes the words after its name and returns the process exit code.
int runQuery(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Checks account sets the way the window's Check does, each starting from an empty report,
// and prints each report, one line per line: FILE..., --server NAME --database NAME, or
// --server NAME --all-databases (see runOnAccountSets). Exit code per account set: 0 no errors
// found; 1 errors reported; 2 it cannot be opened or read (reason on `err`); 3 the check ended
// without a verdict. Over several account sets the worst of them: 2, 3, 1, 0.
int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Repairs the leaf flags of account sets (named as check takes them) the way the window's
// Update does, each starting from an empty report, and prints the reports as check does. Exit
// 0 when both repair statements ran on every account set, whether or not they changed rows;
// 2, with a one-line reason on `err`, when one cannot be opened or a statement was refused
// (its report is printed all the same).
int runUpdate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Lists the account-set databases of a SQL Server (`--server NAME`), one name per line, in the
// order the server gives them. The password of `sa` comes from LEAFWARD_SA_PASSWORD or the
// terminal. Exit 0: listed (possibly none); 2: the server cannot be reached or queried.
int runDatabases(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace leafward::cli
