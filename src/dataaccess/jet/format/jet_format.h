#pragma once

#include <cstddef>
#include <cstdint>

namespace leafward::jet {

// The two on-disk layouts of Access .mdb files, Jet 3 (Access 97) and Jet 4 (Access 2000 to
// 2003): where each field lies, for every decoder of pages, table definitions and rows. The
// reader and the writer both take their offsets from here.
enum class JetVersion { Jet3, Jet4 };

// The size of every page of a file.
inline constexpr std::size_t kJet3PageSize = 2048;
inline constexpr std::size_t kJet4PageSize = 4096;

struct JetFormat {
  JetVersion version = JetVersion::Jet4;
  std::size_t pageSize = kJet4PageSize;

  // Data pages: the number of row-table entries, then the entries.
  std::size_t rowCountOffset = 12;

  // Table definition: the fixed header.
  std::size_t tdefRowCount = 16;  // not to be trusted
  std::size_t tdefMaxColumns = 41;
  std::size_t tdefVariableColumns = 43;
  std::size_t tdefColumnCount = 45;
  std::size_t tdefLogicalIndexCount = 47;
  std::size_t tdefRealIndexCount = 51;
  std::size_t tdefUsageMap = 55;  // row pointer to the table's page usage map
  std::size_t tdefFreeMap = 59;   // row pointer to the map of its pages with free space
  std::size_t tdefHeaderEnd = 63;
  std::size_t tdefRealIndexEntry = 12;  // per real index, before the columns

  // Table definition: one column entry.
  std::size_t columnEntry = 25;
  std::size_t columnNumber = 5;
  std::size_t columnVariableIndex = 7;
  std::size_t columnPrecision = 11;
  std::size_t columnScale = 12;
  std::size_t columnFlags = 15;
  std::size_t columnFixedOffset = 21;
  std::size_t columnLength = 23;
  std::size_t nameLengthBytes = 2;  // the width of a column or index name's length

  // Table definition: the columns of each real index, then the logical indexes.
  std::size_t realIndexColumnsEntry = 52;
  std::size_t realIndexColumnsSkip = 4;  // bytes before the ten column slots
  std::size_t realIndexFlags = 46;       // after the slots and the index's page pointers
  std::size_t logicalIndexEntry = 28;
  std::size_t logicalIndexRealIndex = 8;  // which real index holds the logical one's keys
  std::size_t logicalIndexType = 23;      // 1 primary key, 2 foreign key

  // Rows.
  std::size_t rowColumnCountBytes = 2;  // the width of the column count, the variable-column
                                        // count and each variable-column offset

  bool isJet3() const { return version == JetVersion::Jet3; }

  static JetFormat jet4() { return JetFormat{}; }
  static JetFormat jet3() {
    JetFormat f;
    f.version = JetVersion::Jet3;
    f.pageSize = kJet3PageSize;
    f.rowCountOffset = 8;
    f.tdefRowCount = 12;
    f.tdefMaxColumns = 21;
    f.tdefVariableColumns = 23;
    f.tdefColumnCount = 25;
    f.tdefLogicalIndexCount = 27;
    f.tdefRealIndexCount = 31;
    f.tdefUsageMap = 35;
    f.tdefFreeMap = 39;
    f.tdefHeaderEnd = 43;
    f.tdefRealIndexEntry = 8;
    f.columnEntry = 18;
    f.columnNumber = 1;
    f.columnVariableIndex = 3;
    f.columnPrecision = 9;
    f.columnScale = 10;
    f.columnFlags = 13;
    f.columnFixedOffset = 14;
    f.columnLength = 16;
    f.nameLengthBytes = 1;
    f.realIndexColumnsEntry = 39;
    f.realIndexColumnsSkip = 0;
    f.realIndexFlags = 38;
    f.logicalIndexEntry = 20;
    f.logicalIndexRealIndex = 4;
    f.logicalIndexType = 19;
    f.rowColumnCountBytes = 1;
    return f;
  }
};

// Page types (first byte of every page).
inline constexpr std::uint8_t kPageDatabase = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDefinition = 0x02;
inline constexpr std::uint8_t kPageUsageMap = 0x05;

// Every page but the first names the page after it (table definitions) or its table (data
// pages) here.
inline constexpr std::size_t kPageLinkOffset = 4;
// A continuation page of a table definition carries its data from here on.
inline constexpr std::size_t kContinuationHeader = 8;

// Flags in the top bits of a row-table entry. A row whose data moved to another page keeps its
// entry, flagged as a pointer, holding the new place; the moved data is flagged as
// "elsewhere" so that a scan does not meet it twice. A deleted row carries both flags.
inline constexpr std::uint16_t kRowPointerFlag = 0x4000;
inline constexpr std::uint16_t kRowElsewhereFlag = 0x8000;
inline constexpr std::uint16_t kRowDeletedFlags = 0xC000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

// A row pointer: the page in the high three bytes, the row-table entry in the low byte.
inline constexpr std::uint32_t pageOfPointer(std::uint32_t pointer) {
  return pointer >> 8;
}
inline constexpr std::uint32_t slotOfPointer(std::uint32_t pointer) {
  return pointer & 0xFF;
}

// The first table definition page: the catalog table MSysObjects.
inline constexpr std::uint32_t kCatalogTablePage = 2;

// Large-value pages carry this tag where data pages name their table.
inline constexpr std::uint32_t kLongValueTag = 0x4C41564C;  // "LVAL"

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

// Column flags in a table definition.
inline constexpr std::uint8_t kColumnFixedLength = 0x01;

}  // namespace leafward::jet
