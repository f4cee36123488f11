#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "audit/workbench.h"
#include "connection/shared_connection.h"

namespace leafward::cli {

// Opens the account set that `words` name, FILE or --server NAME --database NAME, on `shared`
// (started up here), as the window's Open or Link does. Returns the name to show for it, or
// nothing when the words do not name one (usage of `command` on `err`) or it cannot be opened
// (a one-line reason on `err`).
std::optional<std::string> openAccountSet(const std::string& command,
                                          const std::vector<std::string>& words,
                                          connection::SharedConnection& shared, std::ostream& err);

// Prints the result box's text: each CR LF as a newline, then a final newline.
void printReport(const audit::TextWorkbench& bench, std::ostream& out);

// The text with every line break turned into a space, for a one-line message.
std::string onOneLine(std::string text);

}  // namespace leafward::cli
