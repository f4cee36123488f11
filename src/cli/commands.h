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

}  // namespace leafward::cli
