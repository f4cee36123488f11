#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <map>
#include <stdexcept>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/row.h"
#include "support/open_database.h"

namespace leafward::testing {

// One row of a table as the flag scan sees it.
struct ScannedFlag {
  jet::RowLocation location;  // where the row's data lives
  jet::RowLocation entry;     // the entry the table refers to: for a moved row, its pointer
  jet::FlagBit bit;
  std::uint64_t fileOffset = 0;  // of the byte holding the bit
  bool value = false;
};

// Every live row of `table` with the value of its Yes/No column `column`, found by reading every
// page of the file in turn rather than by the table's page map; rows in the order the scan
// meets their data (moved rows where their data now lives). Picks rows for the writer's tests
// and checks them against mdb-export. Throws DataAccessError.
inline std::vector<ScannedFlag> scanFlags(const std::string& path, const std::string& table,
                                          const std::string& column) {
  using namespace jet;
  const OpenDatabase open(path);
  const TableDefinition& definition = open.table(table).definition;
  const ColumnDefinition* flag = definition.findColumn(column);
  if (!flag || !flag->is(JetType::Boolean)) throw std::runtime_error(column + " is not Yes/No");
  const JetFormat& format = open.pager.format();
  RowDecoder row(format, definition);

  std::vector<ScannedFlag> rows;
  std::map<std::pair<std::uint32_t, std::uint16_t>, RowLocation> pointers;
  for (std::uint32_t number = 1; number < open.pager.pageCount(); ++number) {
    const std::vector<std::uint8_t> page = open.pager.readPage(number);
    if (!RowTable::belongsTo(page, definition.page)) continue;
    const RowTable entries(page, format);
    const std::size_t count = entries.count().value();
    for (std::uint16_t slot = 0; slot < count; ++slot) {
      const RowLocation at{number, slot};
      const SlotKind kind = RowTable::kindOf(entries.entry(slot));
      if (kind == SlotKind::Deleted) continue;
      const RowExtent extent = entries.extent(slot, count).value();
      if (kind == SlotKind::Pointer) {
        const RowLocation target = entries.pointer(extent).value();
        pointers[{target.page, target.slot}] = at;
        continue;
      }
      if (!row.parse(page, extent)) throw std::runtime_error(row.problem());
      if (flag->number >= row.columnCount()) throw std::runtime_error("a row without the column");
      ScannedFlag scanned;
      scanned.location = scanned.entry = at;
      scanned.bit = row.maskBit(flag->number);
      scanned.fileOffset = std::uint64_t{number} * open.pager.pageSize() + scanned.bit.byteOffset;
      scanned.value = (page[scanned.bit.byteOffset] & scanned.bit.mask) != 0;
      rows.push_back(scanned);
    }
  }
  for (auto& scanned : rows) {
    const auto pointer = pointers.find({scanned.location.page, scanned.location.slot});
    if (pointer != pointers.end()) scanned.entry = pointer->second;
  }
  return rows;
}

}  // namespace leafward::testing
