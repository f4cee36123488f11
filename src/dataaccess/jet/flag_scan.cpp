#include "dataaccess/jet/flag_scan.h"

#include <map>

#include "dataaccess/jet/table_catalog.h"
#include "dataaccess/jet/table_definition.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {

std::vector<ScannedFlag> scanFlags(const std::string& path, std::string_view table,
                                   std::string_view column) {
  std::uint32_t tablePage = findTablePage(path, table);
  PageFile file(path, PageFile::Access::ReadOnly);
  TableDefinition definition = readTableDefinition(file, tablePage);
  const ColumnDefinition* flagColumn = definition.findColumn(column);
  if (!flagColumn || flagColumn->type != kYesNoColumn) {
    throw WriteRefused(WriteRefused::Reason::ColumnNotWritable,
                       std::string(column) + " is not a Yes/No column of " + std::string(table));
  }
  RowLayout layout(file.version(), file.pageSize(), definition, path);

  std::vector<ScannedFlag> rows;
  std::map<std::pair<std::uint32_t, std::uint16_t>, RowLocation> pointers;
  std::vector<std::uint8_t> page(file.pageSize());
  for (std::uint32_t number = 1; number < file.pageCount(); ++number) {
    file.readPage(number, page);
    if (!layout.isTablePage(page)) continue;
    std::uint16_t count = layout.slotCount(page);
    for (std::uint16_t index = 0; index < count; ++index) {
      RowLocation at{number, index};
      Slot slot = layout.readSlot(page, at);
      if (slot.kind == SlotKind::Pointer) {
        RowLocation target = layout.readPointer(page, at, slot);
        pointers[{target.page, target.slot}] = at;
      }
      if (slot.kind != SlotKind::Row && slot.kind != SlotKind::MovedRow) continue;
      ScannedFlag row;
      row.location = at;
      row.entry = at;
      row.bit = layout.findFlagBit(page, at, slot, flagColumn->number);
      row.fileOffset = static_cast<std::uint64_t>(number) * file.pageSize() + row.bit.byteOffset;
      row.value = (page[row.bit.byteOffset] & row.bit.mask) != 0;
      rows.push_back(row);
    }
  }
  for (auto& row : rows) {
    auto pointer = pointers.find({row.location.page, row.location.slot});
    if (pointer != pointers.end()) row.entry = pointer->second;
  }
  return rows;
}

}  // namespace leafward::jet
