#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace leafward::cli {

// Each command takes the words after its name and returns the process exit code.
int runQuery(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace leafward::cli
