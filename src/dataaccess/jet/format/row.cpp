#include "dataaccess/jet/format/row.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kJumpSpan = 256;

}  // namespace

RowDecoder::RowDecoder(const JetFormat& format, const TableDefinition& table)
    : format_(format), table_(table) {}

bool RowDecoder::reject(const char* why) {
  problem_ = why;
  return false;
}

bool RowDecoder::parse(Bytes page, RowExtent extent) {
  page_ = page;
  extent_ = extent;
  variableCount_ = 0;
  offsets_.clear();
  const std::size_t size = extent.size();
  const std::size_t countBytes = format_.rowColumnCountBytes;
  if (size < countBytes + 1) return reject("is too short");
  columnCount_ = countBytes == 1 ? page[extent.start] : readU16(page, extent.start);
  if (columnCount_ == 0 || columnCount_ > table_.maxColumns) {
    return reject("has a column count that does not match its table");
  }
  const std::size_t maskBytes = (columnCount_ + 7) / 8;
  const std::size_t fixedEnd =
      countBytes + table_.fixedDataLength(static_cast<std::uint16_t>(columnCount_));
  if (fixedEnd + maskBytes > size) return reject("is shorter than its fixed columns");
  maskStart_ = extent.end - maskBytes;
  if (table_.variableColumns == 0) return true;

  if (size - maskBytes < fixedEnd + countBytes) {
    return reject("has no room for its variable columns");
  }
  // Offsets from the row's start, counted backwards from the end.
  const std::size_t countAt = size - maskBytes - countBytes;
  variableCount_ =
      countBytes == 1 ? page[extent.start + countAt] : readU16(page, extent.start + countAt);
  if (variableCount_ > columnCount_) return reject("has an impossible count of variable columns");
  return format_.isJet3() ? readJet3Offsets(countAt, fixedEnd) : readJet4Offsets(countAt, fixedEnd);
}

bool RowDecoder::readJet4Offsets(std::size_t countAt, std::size_t fixedEnd) {
  const std::size_t entriesBytes = 2 * (variableCount_ + 1);
  if (countAt < fixedEnd + entriesBytes)
    return reject("has a variable-column table that overflows");
  const std::size_t tableStart = countAt - entriesBytes;
  std::size_t previous = fixedEnd;
  for (std::size_t i = 0; i <= variableCount_; ++i) {
    const std::size_t offset = readU16(page_, extent_.start + countAt - 2 * (i + 1));
    if (offset < previous || offset > tableStart) {
      return reject("has variable-column offsets out of order");
    }
    offsets_.push_back(offset);
    previous = offset;
  }
  return true;
}

// One jump entry for every 256 bytes of row; the last may be a filler that names no offset,
// when the offsets themselves end before it. Each entry names the first offset that lies a
// further 256 bytes on.
bool RowDecoder::readJet3Offsets(std::size_t countAt, std::size_t fixedEnd) {
  const std::size_t size = extent_.size();
  std::size_t jumps = (size - 1) / kJumpSpan;
  if (countAt < fixedEnd + jumps + variableCount_ + 1) {
    return reject("has a variable-column table that overflows");
  }
  const std::size_t top = countAt - jumps - 1;  // the first offset; the rest lie below it
  if ((top - variableCount_) / kJumpSpan < jumps) --jumps;
  const std::size_t tableStart = top - variableCount_;
  std::size_t used = 0;
  std::size_t previous = fixedEnd;
  for (std::size_t i = 0; i <= variableCount_; ++i) {
    while (used < jumps && i == page_[extent_.start + countAt - 1 - used]) ++used;
    const std::size_t offset = page_[extent_.start + top - i] + used * kJumpSpan;
    if (offset < previous || offset > tableStart) {
      return reject("has variable-column offsets out of order");
    }
    offsets_.push_back(offset);
    previous = offset;
  }
  return true;
}

Field RowDecoder::field(const ColumnDefinition& column) const {
  Field out;
  const std::size_t bit = column.number;
  out.present = bit < columnCount_ && ((page_[maskStart_ + bit / 8] >> (bit % 8)) & 1) != 0;
  if (column.is(JetType::Boolean) || !out.present) return out;
  if (column.fixed()) {
    // Inside the fixed area, which parse() found inside the row.
    out.offset = extent_.start + format_.rowColumnCountBytes + column.fixedOffset;
    out.length = column.length;
    return out;
  }
  if (column.variableIndex >= variableCount_) {
    out.present = false;  // the column was added after this row was written
    return out;
  }
  out.offset = extent_.start + offsets_[column.variableIndex];
  out.length = offsets_[column.variableIndex + 1u] - offsets_[column.variableIndex];
  return out;
}

FlagBit RowDecoder::maskBit(std::uint16_t number) const {
  return FlagBit{maskStart_ + number / 8u, static_cast<std::uint8_t>(1u << (number % 8u))};
}

}  // namespace leafward::jet
