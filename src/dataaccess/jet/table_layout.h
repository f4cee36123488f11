#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace leafward::jet {

// Jet column type codes as stored in a table definition.
enum class JetType : std::uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  LongInteger = 0x04,
  Money = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,
  Numeric = 0x10,
};

// Where one column's value sits in a row.
struct ColumnLayout {
  std::string name;
  std::uint8_t type = 0;          // a JetType code, possibly one we do not know
  std::uint16_t number = 0;       // bit in the row's null mask (counts deleted columns)
  std::uint16_t varIndex = 0;     // entry in the row's offset table, for variable columns
  std::uint16_t fixedOffset = 0;  // from the start of the fixed area, for fixed columns
  std::uint16_t size = 0;         // bytes of a fixed column
  bool fixed = false;
  std::uint8_t decimals = 0;  // digits after the point, for Numeric

  bool is(JetType t) const { return type == static_cast<std::uint8_t>(t); }
};

// A table's definition: its columns in column order and where its rows live.
struct TableLayout {
  std::string name;
  std::uint32_t definitionPage = 0;
  // Rows carry a table of variable-length column offsets exactly when this is not zero.
  std::size_t variableColumnCount = 0;
  std::uint32_t rowCountHint = 0;  // as the definition says; not to be trusted
  std::vector<ColumnLayout> columns;
  std::vector<std::uint8_t> usageMap;
};

}  // namespace leafward::jet
