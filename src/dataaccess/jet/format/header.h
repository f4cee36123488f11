#pragma once

#include <cstdint>
#include <string>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/jet_format.h"

namespace leafward::jet {

struct JetHeader {
  JetFormat format;
  std::uint16_t codePage = 1252;  // of Jet 3 text; Jet 4 text is Unicode
  std::uint32_t pageCount = 0;
};

// Checks the first page of a file of `fileSize` bytes (`firstPage` may be shorter than a page
// when the file is) and tells what kind of Jet database it is. Throws DataAccessError with a
// reason meant for a person, naming the file as `displayName`, when the file is empty, is not
// a Jet database, is a newer Access (ACE) database, is encrypted or protected by a password,
// is cut short, or is too large to be one.
JetHeader inspectHeader(Bytes firstPage, std::uint64_t fileSize, const std::string& displayName);

}  // namespace leafward::jet
