#pragma once

#include <cstddef>
#include <cstdint>

#include "dataaccess/jet/data_page.h"
#include "dataaccess/jet/jet_format.h"
#include "dataaccess/jet/table_layout.h"

namespace leafward::jet {

// Where a column's value lies in a row: absent (NULL, or a column added after the row was
// written), or `length` bytes at `offset` in the page. A Yes/No column has no bytes: it is
// present exactly when its value is Yes.
struct Field {
  bool present = false;
  std::size_t offset = 0;
  std::size_t length = 0;
};

// Takes one row apart. A row holds a column count, the fixed-length columns, the
// variable-length columns, a table of their offsets (stored backwards, ending with the end of
// the variable data), the number of variable columns and a null mask with one bit per column
// (set = not NULL; for Yes/No columns the bit is the value). Jet 3 stores the offsets in one
// byte each, with a jump table for rows longer than 256 bytes.
class RowReader {
 public:
  explicit RowReader(const JetFormat& format) : format_(format) {}

  // Reads the row's counts and tables; false when they do not fit in the row.
  bool parse(Bytes page, RowExtent extent, const TableLayout& table);

  // The column's place in the parsed row; false when the row says it lies outside the row.
  bool field(const ColumnLayout& column, Field& out) const;

 private:
  bool variableOffset(std::size_t index, std::size_t& offset) const;

  const JetFormat& format_;
  Bytes page_;
  RowExtent extent_;
  std::size_t columnCount_ = 0;
  std::size_t maskStart_ = 0;
  std::size_t variableCount_ = 0;
  std::size_t dataEnd_ = 0;  // first byte after the column data (start of the row's tables)
  // Jet 3 only.
  std::size_t offsetTableTop_ = 0;
  std::size_t jumpCount_ = 0;
};

}  // namespace leafward::jet
