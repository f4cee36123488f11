#include "dataaccess/jet/format/table_definition.h"

#include <algorithm>
#include <set>
#include <span>

#include "dataaccess/ascii.h"
#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/text.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxIndexes = 255;
constexpr std::size_t kMaxNameBytes = 256;
constexpr std::size_t kMaxDefinitionPages = 256;
constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::uint8_t kPrimaryKeyIndex = 0x01;
constexpr std::uint8_t kForeignKeyIndex = 0x02;
constexpr std::uint8_t kUniqueIndex = 0x01;

// The definition's bytes with every check of their bounds.
class DefinitionBytes {
 public:
  DefinitionBytes(const Pager& pager, std::uint32_t first, const std::string& table)
      : pager_(pager), table_(table) {
    std::set<std::uint32_t> seen;
    for (std::uint32_t page = first; page != 0;) {
      if (page >= pager.pageCount()) {
        pager.truncated("the definition of table " + table + " continues past the end of the file");
      }
      if (!seen.insert(page).second || seen.size() > kMaxDefinitionPages) {
        damaged("its pages form a loop");
      }
      const std::vector<std::uint8_t> image = pager.readPage(page);
      if (image[0] != kPageTableDefinition) {
        damaged(bytes_.empty() ? "it is missing"
                               : "page " + std::to_string(page) + " is not a definition page");
      }
      // A continuation page carries its part after its own header.
      bytes_.insert(
          bytes_.end(),
          image.begin() + static_cast<std::ptrdiff_t>(bytes_.empty() ? 0 : kContinuationHeader),
          image.end());
      page = readU32(image, kPageLinkOffset);
    }
  }

  Bytes slice(std::size_t at, std::size_t length) const {
    if (at > bytes_.size() || length > bytes_.size() - at) damaged("it is cut short");
    return Bytes(bytes_).subspan(at, length);
  }
  std::uint8_t u8(std::size_t at) const { return slice(at, 1)[0]; }
  std::uint16_t u16(std::size_t at) const { return readU16(slice(at, 2), 0); }
  std::uint32_t u32(std::size_t at) const { return readU32(slice(at, 4), 0); }

  [[noreturn]] void damaged(const std::string& what) const {
    pager_.damaged("the definition of table " + table_ + " " + what);
  }

 private:
  const Pager& pager_;
  const std::string& table_;
  std::vector<std::uint8_t> bytes_;
};

// Reads a name (its length, then its bytes) at `at` and moves past it.
std::string takeName(const DefinitionBytes& in, const JetFormat& format, TextDecoder& text,
                     std::size_t& at, const char* what) {
  const std::size_t length = format.nameLengthBytes == 2 ? in.u16(at) : in.u8(at);
  at += format.nameLengthBytes;
  if (length == 0 || length > kMaxNameBytes) in.damaged(std::string("has a malformed ") + what);
  std::string name = text.decode(in.slice(at, length));
  at += length;
  if (name.empty()) in.damaged(std::string("has an empty ") + what);
  return name;
}

// Reads `count` column entries at `at`, then their names, into `table`, and moves past them.
// Returns the columns' numbers.
std::set<std::uint16_t> takeColumns(const DefinitionBytes& in, const JetFormat& format,
                                    TextDecoder& text, std::size_t count, std::size_t& at,
                                    TableDefinition& table) {
  std::set<std::uint16_t> numbers;
  for (std::size_t i = 0; i < count; ++i, at += format.columnEntry) {
    const Bytes entry = in.slice(at, format.columnEntry);
    ColumnDefinition column;
    column.type = entry[0];
    column.number = readU16(entry, format.columnNumber);
    column.variableIndex = readU16(entry, format.columnVariableIndex);
    column.precision = entry[format.columnPrecision];
    column.scale = entry[format.columnScale];
    column.flags = entry[format.columnFlags];
    column.fixedOffset = readU16(entry, format.columnFixedOffset);
    column.length = readU16(entry, format.columnLength);
    if (column.number >= table.maxColumns || !numbers.insert(column.number).second ||
        (!column.fixed() && column.variableIndex >= table.maxColumns)) {
      in.damaged("has impossible column numbers");
    }
    table.columns.push_back(std::move(column));
  }
  for (auto& column : table.columns) column.name = takeName(in, format, text, at, "column name");
  return numbers;
}

// Reads the columns of `count` real indexes at `at` into `table` and moves past them; each must
// be one of the table's `columns`.
void takeRealIndexes(const DefinitionBytes& in, const JetFormat& format, std::size_t count,
                     const std::set<std::uint16_t>& columns, std::size_t& at,
                     TableDefinition& table) {
  for (std::size_t i = 0; i < count; ++i, at += format.realIndexColumnsEntry) {
    const Bytes entry = in.slice(at, format.realIndexColumnsEntry);
    RealIndex index;
    for (std::size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
      const std::uint16_t number = readU16(entry, format.realIndexColumnsSkip + 3 * slot);
      if (number == kNoColumn) continue;
      if (!columns.contains(number)) in.damaged("has an index on a column it does not have");
      index.columnNumbers.push_back(number);
    }
    index.unique = (entry[format.realIndexFlags] & kUniqueIndex) != 0;
    table.realIndexes.push_back(std::move(index));
  }
}

// Reads `count` logical index entries at `at`, then their names, into `table`, and moves past
// them; each must name one of the `realCount` real indexes.
void takeLogicalIndexes(const DefinitionBytes& in, const JetFormat& format, TextDecoder& text,
                        std::size_t count, std::size_t realCount, std::size_t& at,
                        TableDefinition& table) {
  for (std::size_t i = 0; i < count; ++i, at += format.logicalIndexEntry) {
    const Bytes entry = in.slice(at, format.logicalIndexEntry);
    LogicalIndex index;
    index.realIndex = readU32(entry, format.logicalIndexRealIndex);
    if (index.realIndex >= realCount) in.damaged("has an index without its keys");
    index.primaryKey = entry[format.logicalIndexType] == kPrimaryKeyIndex;
    index.foreignKey = entry[format.logicalIndexType] == kForeignKeyIndex;
    table.logicalIndexes.push_back(std::move(index));
  }
  for (auto& index : table.logicalIndexes)
    index.name = takeName(in, format, text, at, "index name");
}

}  // namespace

const ColumnDefinition* TableDefinition::findColumn(std::string_view columnName) const {
  for (const auto& column : columns) {
    if (dataaccess::equalsIgnoringCase(column.name, columnName)) return &column;
  }
  return nullptr;
}

bool TableDefinition::isIndexed(std::uint16_t columnNumber) const {
  return std::any_of(realIndexes.begin(), realIndexes.end(), [&](const RealIndex& index) {
    return std::find(index.columnNumbers.begin(), index.columnNumbers.end(), columnNumber) !=
           index.columnNumbers.end();
  });
}

std::size_t TableDefinition::fixedDataLength(std::uint16_t rowColumns) const {
  std::size_t length = 0;
  for (const auto& column : columns) {
    if (column.fixed() && !column.is(JetType::Boolean) && column.number < rowColumns) {
      length = std::max<std::size_t>(length, std::size_t{column.fixedOffset} + column.length);
    }
  }
  return length;
}

TableDefinition readTableDefinition(const Pager& pager, TextDecoder& text, std::uint32_t page,
                                    const std::string& name) {
  const JetFormat& format = pager.format();
  const DefinitionBytes in(pager, page, name);

  TableDefinition table;
  table.name = name;
  table.page = page;
  table.rowCountHint = in.u32(format.tdefRowCount);
  table.maxColumns = in.u16(format.tdefMaxColumns);
  table.variableColumns = in.u16(format.tdefVariableColumns);
  const std::size_t columnCount = in.u16(format.tdefColumnCount);
  const std::size_t logicalCount = in.u32(format.tdefLogicalIndexCount);
  const std::size_t realCount = in.u32(format.tdefRealIndexCount);
  table.usageMap = in.u32(format.tdefUsageMap);
  if (columnCount == 0 || columnCount > kMaxColumns || table.maxColumns < columnCount ||
      table.maxColumns > kMaxColumns || table.variableColumns > table.maxColumns ||
      realCount > kMaxIndexes || logicalCount > kMaxIndexes) {
    in.damaged("has impossible counts");
  }

  // After the header and an entry per real index: the columns and their names, the real
  // indexes' columns, then the logical indexes and their names.
  std::size_t at = format.tdefHeaderEnd + realCount * format.tdefRealIndexEntry;
  const std::set<std::uint16_t> numbers = takeColumns(in, format, text, columnCount, at, table);
  takeRealIndexes(in, format, realCount, numbers, at, table);
  takeLogicalIndexes(in, format, text, logicalCount, realCount, at, table);

  // Rows list their columns by number; so does everything that shows a table's columns.
  std::stable_sort(
      table.columns.begin(), table.columns.end(),
      [](const ColumnDefinition& a, const ColumnDefinition& b) { return a.number < b.number; });
  return table;
}

}  // namespace leafward::jet
