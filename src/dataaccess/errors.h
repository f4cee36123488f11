#pragma once

#include <stdexcept>
#include <string>

namespace leafward::dataaccess {

// Any failure of the data-access layer: a connection that cannot be opened, a statement the
// provider refuses, a dropped connection. The message is meant for a person.
class DataAccessError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace leafward::dataaccess
