#pragma once

#include <string>

#include "dataaccess/errors.h"

namespace leafward::jet {

// A change the .mdb writer will not make. Nothing in the file has changed when it is thrown;
// the message says why, for a person, and the reason lets callers word their own report.
class WriteRefused : public dataaccess::DataAccessError {
 public:
  enum class Reason {
    ColumnNotWritable,  // no such column, or not a Yes/No column
    IndexedColumn,      // an index sorts by the column: flipping bits would leave it wrong
    ReadOnly,           // the file or its folder cannot be written
    Locked,             // another program has the file open for writing
    UnknownRowLayout,   // a row does not look the way the writer knows rows to look
    RowChanged,         // a row no longer holds the value the statement saw
    PendingRollback,    // an interrupted change is waiting to be undone and cannot be
  };

  WriteRefused(Reason reason, const std::string& message)
      : dataaccess::DataAccessError(message), reason_(reason) {}

  Reason reason() const { return reason_; }

 private:
  Reason reason_;
};

}  // namespace leafward::jet
