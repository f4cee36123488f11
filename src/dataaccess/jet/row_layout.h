#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "dataaccess/jet/page_file.h"
#include "dataaccess/jet/row_location.h"
#include "dataaccess/jet/table_definition.h"

namespace leafward::jet {

// What an entry of a data page's row table stands for.
enum class SlotKind {
  Row,       // an ordinary row
  MovedRow,  // the data of a row that was moved here; reached through a pointer
  Pointer,   // the row moved: the entry holds a pointer to its new place
  Deleted,
};

struct Slot {
  SlotKind kind = SlotKind::Row;
  std::uint16_t start = 0;  // first byte of the entry in the page
  std::uint16_t end = 0;    // one past its last byte
};

// Where a row keeps a Yes/No value: one bit of its null mask.
struct FlagBit {
  std::uint32_t page = 0;
  std::uint16_t slot = 0;
  std::uint16_t byteOffset = 0;  // within the page
  std::uint8_t mask = 0;
  bool operator==(const FlagBit&) const = default;
};

// Reads the rows of one table's data pages, checking every offset and count against the page
// and the table definition. Every failure throws WriteRefused(UnknownRowLayout) with a
// message that names the row.
class RowLayout {
 public:
  RowLayout(JetVersion version, std::size_t pageSize, const TableDefinition& table,
            std::string fileName);

  // Whether the page is a data page of this table.
  bool isTablePage(std::span<const std::uint8_t> page) const;
  std::uint16_t slotCount(std::span<const std::uint8_t> page) const;

  // The page must be a data page of the table and the slot must exist.
  Slot readSlot(std::span<const std::uint8_t> page, RowLocation at) const;

  // Where a pointer entry sends the row.
  RowLocation readPointer(std::span<const std::uint8_t> page, RowLocation at,
                          const Slot& slot) const;

  // The bit holding column `columnNumber` of the row in a Row or MovedRow entry.
  FlagBit findFlagBit(std::span<const std::uint8_t> page, RowLocation at, const Slot& slot,
                      std::uint16_t columnNumber) const;

 private:
  [[noreturn]] void refuse(RowLocation at, const std::string& why) const;

  JetVersion version_;
  std::size_t pageSize_;
  const TableDefinition& table_;
  std::string fileName_;
  std::size_t rowCountOffset_;
};

}  // namespace leafward::jet
