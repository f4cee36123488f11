#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "dataaccess/session.h"

namespace leafward::jet {

// Opens an Access (.mdb) file, its Jet 3 text read in `codePage` when given (see JetDatabase).
// Throws DataAccessError with a clear reason when the file is missing, unreadable, not a Jet 3
// or Jet 4 database, encrypted or damaged, or being updated by another program for longer than
// a reader waits, or when the code page is not supported.
std::unique_ptr<dataaccess::Session> openJetSession(
    const std::string& path, std::optional<std::uint16_t> codePage = std::nullopt);

}  // namespace leafward::jet
