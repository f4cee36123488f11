#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/format/table_definition.h"
#include "dataaccess/jet/format/text.h"
#include "dataaccess/sql/column_values.h"
#include "dataaccess/value.h"

namespace leafward::jet {

using dataaccess::Value;

// Turns a column's stored bytes into a Value: Yes/No as yesNo, whole numbers as integer,
// Single as single, Currency as currency, Double as floating, Decimal as decimal, Date/Time as
// date, Text and Memo as UTF-8 text, Binary and OLE Object as binary, Replication ID as guid.
// Unknown types come out as NULL. Memo and OLE values may live on large-value pages, which
// are read from the file.
class ValueDecoder {
 public:
  ValueDecoder(const Pager& file, TextDecoder& text);

  // Throws DataAccessError when the value's bytes are malformed.
  Value decode(const ColumnDefinition& column, Bytes page, const Field& field);
  // The same, appended to `out`; a text goes straight into it.
  void decodeInto(const ColumnDefinition& column, Bytes page, const Field& field,
                  sql::ColumnValues& out);

  // The large-value pages read so far (a page read again after another may come twice).
  const std::vector<std::uint32_t>& pagesRead() const { return pagesRead_; }

 private:
  // The bytes of a Memo or OLE value: inline, in one large-value row or in a chain of them.
  // Valid until the next call.
  Bytes longValue(Bytes page, const Field& field);
  Bytes longValueRow(std::uint32_t pointer);
  [[noreturn]] void malformed(const ColumnDefinition& column) const;

  const Pager& file_;
  TextDecoder& text_;
  std::vector<std::uint8_t> longValuePage_;
  std::uint64_t longValuePageNumber_ = UINT64_MAX;
  std::vector<std::uint8_t> longValue_;
  std::vector<std::uint32_t> pagesRead_;
};

// The value of a Decimal column's 17 stored bytes (sign byte, then a 128-bit magnitude as
// four 32-bit little-endian words, most significant first) with `decimals` digits after the
// point (at most Decimal::kMaxScale), exactly.
dataaccess::Decimal decodeDecimal(Bytes bytes, unsigned decimals);

}  // namespace leafward::jet
