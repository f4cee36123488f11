#pragma once

#include <iosfwd>
#include <string>

#include "audit/workbench.h"
#include "connection/shared_connection.h"

namespace leafward::cli {

// Starts `shared` up and opens the Access file on it, as the window's Open does. False, with
// a one-line reason on `err`, when the file cannot be opened.
bool openAccountSet(connection::SharedConnection& shared, const std::string& file,
                    std::ostream& err);

// Prints the result box's text: each CR LF as a newline, then a final newline.
void printReport(const audit::TextWorkbench& bench, std::ostream& out);

// The text with every line break turned into a space, for a one-line message.
std::string onOneLine(std::string text);

}  // namespace leafward::cli
