#include "dataaccess/jet/row_layout.h"

#include <algorithm>

#include "dataaccess/jet/byte_order.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kPointerLength = 4;  // row number (1 byte), page (3 bytes)

}  // namespace

RowLayout::RowLayout(JetVersion version, std::size_t pageSize, const TableDefinition& table,
                     std::string fileName)
    : version_(version),
      pageSize_(pageSize),
      table_(table),
      fileName_(std::move(fileName)),
      rowCountOffset_(version == JetVersion::Jet4 ? 12 : 8) {}

void RowLayout::refuse(RowLocation at, const std::string& why) const {
  throw WriteRefused(WriteRefused::Reason::UnknownRowLayout,
                     "the row at page " + std::to_string(at.page) + ", entry " +
                         std::to_string(at.slot) + " of " + fileName_ +
                         " does not have a layout this program can change safely: " + why);
}

bool RowLayout::isTablePage(std::span<const std::uint8_t> page) const {
  return page.size() == pageSize_ && page[0] == kPageData && readU32(page, 4) == table_.page;
}

std::uint16_t RowLayout::slotCount(std::span<const std::uint8_t> page) const {
  return readU16(page, rowCountOffset_);
}

Slot RowLayout::readSlot(std::span<const std::uint8_t> page, RowLocation at) const {
  if (!isTablePage(page)) refuse(at, "the page is not a data page of the table");
  std::size_t count = slotCount(page);
  std::size_t tableEnd = rowCountOffset_ + 2 + 2 * count;
  if (tableEnd > pageSize_) refuse(at, "the page's row table is longer than the page");
  if (at.slot >= count) refuse(at, "the page has no such row entry");

  std::uint16_t entry = readU16(page, rowCountOffset_ + 2 + 2 * at.slot);
  std::size_t start = entry & kRowOffsetMask;
  if (start < tableEnd || start >= pageSize_) refuse(at, "the row's offset lies outside the page");
  // A row runs up to the next row that starts after it (rows fill the page from its end).
  std::size_t end = pageSize_;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t other = readU16(page, rowCountOffset_ + 2 + 2 * i) & kRowOffsetMask;
    if (other > start && other < end) end = other;
  }

  Slot slot;
  slot.start = static_cast<std::uint16_t>(start);
  slot.end = static_cast<std::uint16_t>(end);
  switch (entry & kRowDeletedFlags) {
    case 0:
      slot.kind = SlotKind::Row;
      break;
    case kRowElsewhereFlag:
      slot.kind = SlotKind::MovedRow;
      break;
    case kRowPointerFlag:
      slot.kind = SlotKind::Pointer;
      break;
    default:
      slot.kind = SlotKind::Deleted;
      break;
  }
  return slot;
}

RowLocation RowLayout::readPointer(std::span<const std::uint8_t> page, RowLocation at,
                                   const Slot& slot) const {
  if (static_cast<std::size_t>(slot.end - slot.start) < kPointerLength)
    refuse(at, "the moved-row pointer is cut short");
  RowLocation target;
  target.slot = page[slot.start];
  target.page = readU24(page, slot.start + 1);
  return target;
}

FlagBit RowLayout::findFlagBit(std::span<const std::uint8_t> page, RowLocation at, const Slot& slot,
                               std::uint16_t columnNumber) const {
  const bool jet4 = version_ == JetVersion::Jet4;
  const std::size_t countBytes = jet4 ? 2 : 1;
  const std::size_t start = slot.start;
  const std::size_t length = slot.end - slot.start;
  if (length < countBytes + 1) refuse(at, "the row is too short");

  std::uint16_t columns = jet4 ? readU16(page, start) : page[start];
  if (columns == 0 || columns > table_.maxColumns) {
    refuse(at, "its column count (" + std::to_string(columns) +
                   ") does not match the table definition");
  }
  if (columnNumber >= columns) refuse(at, "the row was stored before the column existed");
  const std::size_t maskBytes = (columns + 7u) / 8u;
  const std::size_t fixedEnd = countBytes + table_.fixedDataLength(columns);
  if (fixedEnd + maskBytes > length) refuse(at, "the row is shorter than its fixed columns");

  if (table_.variableColumns > 0) {
    // From the end: null mask, count of variable columns, their offsets (last first), and
    // the end-of-data offset.
    const std::size_t countAt = length - maskBytes - countBytes;
    if (countAt < fixedEnd) refuse(at, "the row has no room for its variable columns");
    std::size_t variables = jet4 ? readU16(page, start + countAt) : page[start + countAt];
    if (variables > columns) refuse(at, "its count of variable columns is impossible");
    if (jet4) {
      const std::size_t entriesBytes = 2 * (variables + 1);
      if (countAt < fixedEnd + entriesBytes) refuse(at, "its variable-column table overflows");
      const std::size_t tableStart = countAt - entriesBytes;
      std::size_t previous = fixedEnd;
      for (std::size_t i = 0; i <= variables; ++i) {
        std::size_t offset = readU16(page, start + countAt - 2 * (i + 1));
        if (offset < previous || offset > tableStart) {
          refuse(at, "its variable-column offsets are out of order");
        }
        previous = offset;
      }
    } else {
      // Jet 3 keeps one-byte offsets plus a jump table for rows longer than 256 bytes.
      const std::size_t jumps = (length - 1) / 256;
      if (countAt < fixedEnd + jumps + variables + 1) {
        refuse(at, "its variable-column table overflows");
      }
      if (jumps == 0) {
        const std::size_t tableStart = countAt - (variables + 1);
        std::size_t previous = fixedEnd;
        for (std::size_t i = 0; i <= variables; ++i) {
          std::size_t offset = page[start + countAt - 1 - i];
          if (offset < previous || offset > tableStart) {
            refuse(at, "its variable-column offsets are out of order");
          }
          previous = offset;
        }
      }
    }
  }

  FlagBit bit;
  bit.page = at.page;
  bit.slot = at.slot;
  bit.byteOffset = static_cast<std::uint16_t>(start + length - maskBytes + columnNumber / 8);
  bit.mask = static_cast<std::uint8_t>(1u << (columnNumber % 8));
  return bit;
}

}  // namespace leafward::jet
