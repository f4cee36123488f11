#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace leafward::jet {

// The two on-disk layouts of Access .mdb files: Jet 3 (Access 97) and Jet 4 (Access 2000 to
// 2003). They differ in page size, in the place of a few header fields and in the width of
// the per-row counts.
enum class JetVersion { Jet3, Jet4 };

struct JetFormat {
  JetVersion version = JetVersion::Jet4;
  std::size_t pageSize = 4096;
  std::size_t rowCountOffset = 12;      // data page: number of entries in the row table
  std::size_t tdefNumRows = 16;         // table definition: row count (not trusted)
  std::size_t tdefNumVarCols = 43;      // number of variable-length columns
  std::size_t tdefNumCols = 45;         // number of columns
  std::size_t tdefNumRealIdxs = 51;     // number of physical indexes
  std::size_t tdefUsageMap = 55;        // row pointer to the table's page usage map
  std::size_t tdefFreeMap = 59;         // row pointer to the map of pages with free space
  std::size_t tdefColumnsStart = 63;    // first byte after the fixed header
  std::size_t tdefRealIdxEntry = 12;    // bytes per physical index entry before the columns
  std::size_t tdefColumnEntry = 25;     // bytes per column entry
  std::size_t nameLengthBytes = 2;      // width of a column name's length
  std::size_t rowColumnCountBytes = 2;  // width of the column count at the start of a row

  bool isJet3() const { return version == JetVersion::Jet3; }

  static JetFormat jet3() {
    JetFormat f;
    f.version = JetVersion::Jet3;
    f.pageSize = 2048;
    f.rowCountOffset = 8;
    f.tdefNumRows = 12;
    f.tdefNumVarCols = 23;
    f.tdefNumCols = 25;
    f.tdefNumRealIdxs = 31;
    f.tdefUsageMap = 35;
    f.tdefFreeMap = 39;
    f.tdefColumnsStart = 43;
    f.tdefRealIdxEntry = 8;
    f.tdefColumnEntry = 18;
    f.nameLengthBytes = 1;
    f.rowColumnCountBytes = 1;
    return f;
  }
  static JetFormat jet4() { return JetFormat{}; }
};

// Page types (first byte of every page).
inline constexpr std::uint8_t kPageDatabase = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDefinition = 0x02;
inline constexpr std::uint8_t kPageUsageMap = 0x05;

// Flags in the top bits of a row-table entry. A row whose data moved to another page keeps
// its entry, flagged as a pointer, holding the new place; the moved data is flagged as
// "elsewhere" so that a scan does not meet it twice. A deleted row carries both flags.
inline constexpr std::uint16_t kRowPointerFlag = 0x4000;
inline constexpr std::uint16_t kRowElsewhereFlag = 0x8000;
inline constexpr std::uint16_t kRowDeletedFlags = 0xC000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

// The first table definition page: the catalog table MSysObjects.
inline constexpr std::uint32_t kCatalogTablePage = 2;

// Large-value pages carry this tag where data pages name their table.
inline constexpr std::uint32_t kLongValueTag = 0x4C41564C;  // "LVAL"

using Bytes = std::span<const std::uint8_t>;

inline std::uint16_t readU16(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}
inline std::uint32_t readU24(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset] | (bytes[offset + 1] << 8) |
                                    (bytes[offset + 2] << 16));
}
inline std::uint32_t readU32(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) |
         (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}
inline std::uint64_t readU64(Bytes bytes, std::size_t offset) {
  return static_cast<std::uint64_t>(readU32(bytes, offset)) |
         (static_cast<std::uint64_t>(readU32(bytes, offset + 4)) << 32);
}
inline double readDouble(Bytes bytes, std::size_t offset) {
  const std::uint64_t bits = readU64(bytes, offset);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline float readFloat(Bytes bytes, std::size_t offset) {
  const std::uint32_t bits = readU32(bytes, offset);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace leafward::jet
