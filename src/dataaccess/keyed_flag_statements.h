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

// The parameterised SELECTs that Session::lookUpFlags runs on SQL Server: the flag of every row
// of one key (compared as above), or of the rows whose key is NULL.
KeyedFlagStatements flagLookupStatements(const FlagLookup& lookup);

}  // namespace leafward::dataaccess
