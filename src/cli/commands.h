#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace leafward::cli {

// Each command takes the words after its name and returns the process exit code.
int runQuery(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Checks an .mdb file the way the window's Check does, starting from an empty report, and
// prints the report, one line per line. Exit 0: no errors found; 1: errors reported; 2: the
// file cannot be opened or read (reason on `err`); 3: the check ended without a verdict.
int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Repairs the leaf flags of an account set (FILE, or --server NAME --database NAME, as check
// takes them) the way the window's Update does, starting from an empty report, and prints the
// report as check does. Exit 0 when both repair statements ran, whether or not they changed
// rows; 2, with a one-line reason on `err`, when the account set cannot be opened or a
// statement was refused (the report is printed all the same).
int runUpdate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Lists the account-set databases of a SQL Server (`--server NAME`), one name per line, in the
// order the server gives them. The password of `sa` comes from LEAFWARD_SA_PASSWORD or the
// terminal. Exit 0: listed (possibly none); 2: the server cannot be reached or queried.
int runDatabases(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace leafward::cli
