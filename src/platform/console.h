#pragma once

#include <string>

namespace leafward::platform {

// Shows `prompt` on the terminal and reads one line with echo off; returns it without its
// line end. `terminal` names the terminal device (tests pass a pseudo-terminal); empty means
// the program's own terminal (/dev/tty, or the Windows console). Throws SystemError when
// there is no terminal to ask on.
std::string askWithoutEcho(const std::string& prompt, const std::string& terminal = "");

}  // namespace leafward::platform
