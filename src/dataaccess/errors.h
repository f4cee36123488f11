#pragma once

#include <stdexcept>
#include <string>

namespace leafward::dataaccess {

// What kind of failure a DataAccessError is, for callers that word their own report. Most
// failures are General; the others are refusals of a change that changed nothing.
enum class ErrorKind {
  General,
  ColumnNotWritable,  // no such column, or not one this provider can change in place
  IndexedColumn,      // an index sorts by the column: changing it would leave the index wrong
  ReadOnly,           // the file, its folder or the database cannot be written
  InUse,              // another program has the file open for writing, or locked
  BeingUpdated,       // another program is changing the file right now
  UnknownLayout,      // a row does not look the way rows are known to look
  ChangedSinceRead,   // a row no longer holds what the statement saw
  PendingRollback,    // an interrupted change is waiting to be undone and cannot be
  MultipleNames,      // the file has more than one name (hard link): its journal has only one
  NameTooLong,        // the file's name leaves no room for the name of its rollback journal
};

// Any failure of the data-access layer: a connection that cannot be opened, a statement the
// provider refuses, a dropped connection. The message is meant for a person.
class DataAccessError : public std::runtime_error {
 public:
  explicit DataAccessError(const std::string& message, ErrorKind kind = ErrorKind::General)
      : std::runtime_error(message), kind_(kind) {}
  explicit DataAccessError(const char* message, ErrorKind kind = ErrorKind::General)
      : std::runtime_error(message), kind_(kind) {}

  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

}  // namespace leafward::dataaccess
