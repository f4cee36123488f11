#pragma once

#include <optional>
#include <string>
#include <vector>

namespace leafward::platform {

// The text a command-line program gets and gives, in UTF-8 on every system.

// The program's arguments (without its own name). On Windows they come from the wide command
// line, never through the ANSI code page.
std::vector<std::string> programArguments(int argc, char** argv);

// An environment variable's value; nothing when it is not set.
std::optional<std::string> environmentVariable(const std::string& name);

// Makes std::cout and std::cerr carry UTF-8 with '\n' line ends as they are written. On Windows,
// a pipe or a file gets the bytes as they are (binary mode: no '\r' is added, also not inside
// memo text), and a console shows the text through the wide console calls, so that Chinese
// reads correctly in cmd.exe and PowerShell whatever the console's code page. Call it once,
// first thing.
void useUtf8StandardStreams();

}  // namespace leafward::platform
