#pragma once

#include <string>

namespace leafward::platform {

// Who runs Leafward, on which computer, and where the user's own data lives.

// The operating-system account's name; empty when the system cannot say.
std::string userName();

// This computer's name as the system shows it; empty when the system cannot say.
std::string computerName();

// The folder for the user's records of repairs: %LOCALAPPDATA%\Leafward\repairs on Windows;
// $XDG_STATE_HOME/leafward/repairs elsewhere, or ~/.local/state/leafward/repairs when that
// variable is unset or not an absolute path. The folder need not exist yet. Throws SystemError
// when the system names no such place (no home folder).
std::string repairRecordFolder();

}  // namespace leafward::platform
