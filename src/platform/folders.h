#pragma once

#include <string>

namespace leafward::platform {

// Makes the folder and every missing folder above it, each new one for its owner only where
// folders carry permissions, and makes each new name durable (as syncFolder does). An existing
// folder is fine; anything else under one of the names fails. Throws SystemError.
void createFolders(const std::string& path);

// The path of `name` inside `folder`, joined with the system's separator.
std::string childPath(const std::string& folder, const std::string& name);

}  // namespace leafward::platform
