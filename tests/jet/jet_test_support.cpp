#include "jet_test_support.h"

#include "dataaccess/jet/jet_format.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace leafward::jet::testing {

Rows readAll(JetTableSource& source, const std::string& table) {
  const auto info = source.describe(table);
  if (!info) throw std::runtime_error("no table " + table);
  std::vector<std::size_t> columns(info->columns.size());
  std::iota(columns.begin(), columns.end(), 0);
  const sql::TableData data = source.read(*info, columns);
  Rows rows(data.rowCount);
  for (std::size_t r = 0; r < data.rowCount; ++r) {
    for (const auto& column : data.columns) rows[r].push_back(column[r]);
  }
  return rows;
}

std::string dumpEveryTable(const std::string& path) {
  JetDatabase database(path);
  JetTableSource source(database);
  std::string dump;
  for (const auto& table : database.tables()) {
    dump += "[" + table.layout.name + "]\n";
    for (const auto& row : readAll(source, table.layout.name)) {
      for (const auto& value : row) dump += (value.isNull() ? "NULL" : value.toText()) + "|";
      dump += "\n";
    }
  }
  return dump;
}

RawFile::RawFile(const std::string& path) : bytes(readBytes(path)) {
  pageSize = bytes.at(0x14) == 0 ? 2048 : 4096;
  rowCountOffset = bytes.at(0x14) == 0 ? 8 : 12;
}

std::uint16_t RawFile::entry(RowLocation at) const {
  return readU16(bytes, static_cast<std::size_t>(at.page) * pageSize + rowCountOffset + 2 +
                            2 * std::size_t{at.slot});
}

bool RawFile::isPointer(RowLocation at) const {
  return (entry(at) & kRowDeletedFlags) == kRowPointerFlag;
}

std::pair<std::uint32_t, std::uint16_t> RawFile::storedAt(RowLocation at) const {
  if (!isPointer(at)) return {at.page, at.slot};
  const std::size_t row =
      static_cast<std::size_t>(at.page) * pageSize + (entry(at) & kRowOffsetMask);
  return {readU24(bytes, row + 1), bytes[row]};
}

bool RawFile::maskBit(RowLocation at, unsigned bit) const {
  const auto [page, slot] = storedAt(at);
  const std::size_t base = static_cast<std::size_t>(page) * pageSize;
  const RowLocation stored{page, slot};
  const std::size_t start = base + (entry(stored) & kRowOffsetMask);
  const std::size_t end =
      slot == 0 ? base + pageSize
                : base + (entry(RowLocation{page, static_cast<std::uint16_t>(slot - 1)}) &
                          kRowOffsetMask);
  const std::size_t columns = readU16(bytes, start);
  const std::size_t mask = end - (columns + 7) / 8;
  return (bytes[mask + bit / 8] >> (bit % 8)) & 1;
}

}  // namespace leafward::jet::testing
