#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace leafward::cli {

// The text with every control character written as an escape, so that it prints on one line
// and cannot steer the terminal: "\n", "\r" and "\t" by name, other C0 characters and DEL as
// "\x1B", C1 characters (UTF-8 encoded) as "\u009B". Everything else, also a backslash, stays.
std::string escapeControlCharacters(std::string_view text);

// Writes "leafward-cli: " and the reason, escaped as above, as one line on `err`.
void writeReason(std::ostream& err, std::string_view reason);

}  // namespace leafward::cli
