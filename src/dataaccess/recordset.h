#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dataaccess/session.h"
#include "dataaccess/value.h"

namespace leafward::dataaccess {

class Connection;

inline constexpr int kAdClipString = 2;

// The rows of one query with the operations of a client-side ADO Recordset that Leafward uses.
class Recordset {
 public:
  Recordset() = default;
  explicit Recordset(ResultSet rows);

  // Runs `source` on `connection` and holds its rows. Throws DataAccessError on failure and
  // then stays closed.
  void open(std::string_view source, Connection& connection, int cursorType = -1, int lockType = -1,
            int options = -1);
  void close();
  int state() const;

  // Every operation below throws DataAccessError on a closed recordset.
  bool eof() const;
  void moveNext();
  std::int64_t recordCount() const;
  std::size_t fieldCount() const;
  // The current row's field, by position or by case-insensitive name; throws DataAccessError
  // at EOF or for an unknown field.
  const Value& field(std::size_t index) const;
  const Value& field(std::string_view name) const;

  // The rows from the current one on (all when `rows` is negative), each field followed by
  // the column delimiter except the last of a row, each row followed by the row delimiter,
  // NULL written as `nullText`. Only the clip-string format is known. Leaves the recordset at
  // EOF, as ADO does.
  std::string getString(int format, int rows, std::string_view columnDelimiter,
                        std::string_view rowDelimiter, std::string_view nullText);

 private:
  void requireOpen() const;
  bool open_ = false;
  ResultSet rows_;
  std::size_t position_ = 0;
};

}  // namespace leafward::dataaccess
