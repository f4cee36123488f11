#pragma once

#include <string>

#include "dataaccess/session.h"

namespace leafward::dataaccess {

// The parameterised UPDATEs that Session::setFlagsByKey runs on SQL Server, and that a record
// names for it on any provider: the new flag, the key and the old flag as parameters (the key
// compared code point by code point, whatever the column's collation: a case-insensitive one
// would take 'AB' for 'ab'); for a NULL key, the new and the old flag.
struct KeyedFlagStatements {
  std::string byKey, byNullKey;
};
KeyedFlagStatements keyedFlagStatements(const KeyedFlagUpdate& update);

}  // namespace leafward::dataaccess
