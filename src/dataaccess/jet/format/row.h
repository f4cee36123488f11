#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/table_definition.h"

namespace leafward::jet {

// Where a column's value lies in a row: absent (NULL, or a column added after the row was
// written), or `length` bytes at `offset` in the page. A Yes/No column has no bytes: it is
// present exactly when its value is Yes.
struct Field {
  bool present = false;
  std::size_t offset = 0;
  std::size_t length = 0;
};

// Where a row keeps a Yes/No value: one bit of its null mask.
struct FlagBit {
  std::size_t byteOffset = 0;  // within the page
  std::uint8_t mask = 0;
};

// Takes rows of one table apart. A row holds a column count, the fixed-length columns, the
// variable-length columns, a table of their offsets (stored backwards, ending with the end of
// the variable data), the number of variable columns and a null mask with one bit per column
// (set = not NULL; for Yes/No columns the bit is the value). Jet 3 stores the offsets in one
// byte each, with a jump table that adds 256 for the offsets of rows longer than 256 bytes.
//
// parse() checks everything the row says about itself against the row's bounds and the table
// definition: the column count, the fixed area, the variable-column count and every offset
// (in order, inside the row). The reader and the writer both rely on these checks.
class RowDecoder {
 public:
  RowDecoder(const JetFormat& format, const TableDefinition& table);

  // Takes the row apart; false when it does not hold together (problem() says how).
  bool parse(Bytes page, RowExtent extent);
  const std::string& problem() const { return problem_; }

  std::size_t columnCount() const { return columnCount_; }
  // The column's place in the parsed row.
  Field field(const ColumnDefinition& column) const;
  // The null-mask bit of column number `number`, which must be below columnCount().
  FlagBit maskBit(std::uint16_t number) const;

 private:
  bool reject(const char* why);
  bool readJet4Offsets(std::size_t countAt, std::size_t fixedEnd);
  bool readJet3Offsets(std::size_t countAt, std::size_t fixedEnd);

  const JetFormat& format_;
  const TableDefinition& table_;
  Bytes page_;
  RowExtent extent_;
  std::size_t columnCount_ = 0;
  std::size_t maskStart_ = 0;  // page offset of the null mask
  std::size_t variableCount_ = 0;
  std::vector<std::size_t> offsets_;  // from the row's start, variableCount_ + 1 of them
  std::string problem_;
};

}  // namespace leafward::jet
