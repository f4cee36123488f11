#pragma once

#include <memory>
#include <string>

#include "dataaccess/session.h"

namespace leafward::jet {

// Opens an Access (.mdb) file. Throws DataAccessError with a clear reason when the file is
// missing, unreadable, not a Jet 3 or Jet 4 database, encrypted or damaged, or being updated
// by another program for longer than a reader waits.
std::unique_ptr<dataaccess::Session> openJetSession(const std::string& path);

}  // namespace leafward::jet
