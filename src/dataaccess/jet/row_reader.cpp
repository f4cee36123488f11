#include "dataaccess/jet/row_reader.h"

namespace leafward::jet {

bool RowReader::parse(Bytes page, RowExtent extent, const TableLayout& table) {
  page_ = page;
  extent_ = extent;
  const std::size_t size = extent.size();
  const std::size_t countBytes = format_.rowColumnCountBytes;
  if (size < countBytes) return false;
  columnCount_ = format_.isJet3() ? page[extent.start] : readU16(page, extent.start);
  const std::size_t maskSize = (columnCount_ + 7) / 8;
  if (countBytes + maskSize > size) return false;
  maskStart_ = extent.end - maskSize;
  variableCount_ = 0;
  dataEnd_ = maskStart_;
  if (table.variableColumnCount == 0) return true;

  if (format_.isJet3()) {
    if (countBytes + maskSize + 1 > size) return false;
    variableCount_ = page[maskStart_ - 1];
    // One jump entry for every 256 bytes of row; the last may be a filler the row does not
    // need.
    jumpCount_ = (size - 1) / 256;
    const std::size_t below = 1 + maskSize + jumpCount_ + 1 + variableCount_;
    if (countBytes + below > size) return false;
    offsetTableTop_ = extent.end - 1 - maskSize - jumpCount_ - 1;
    if ((offsetTableTop_ - extent.start - variableCount_) / 256 < jumpCount_) --jumpCount_;
    dataEnd_ = offsetTableTop_ - variableCount_;
    return true;
  }
  if (countBytes + maskSize + 2 > size) return false;
  variableCount_ = readU16(page, maskStart_ - 2);
  const std::size_t tableBytes = 2 * (variableCount_ + 1);
  if (countBytes + maskSize + 2 + tableBytes > size) return false;
  dataEnd_ = maskStart_ - 2 - tableBytes;
  return true;
}

bool RowReader::variableOffset(std::size_t index, std::size_t& offset) const {
  if (!format_.isJet3()) {
    offset = readU16(page_, maskStart_ - 4 - 2 * index);
    return true;
  }
  // Each jump entry names the first offset that lies a further 256 bytes on.
  std::size_t jumps = 0;
  const std::size_t jumpTable = maskStart_ - 2;  // first (highest) jump entry
  for (std::size_t i = 0; i <= index; ++i) {
    while (jumps < jumpCount_ && i == page_[jumpTable - jumps]) ++jumps;
  }
  offset = page_[offsetTableTop_ - index] + jumps * 256;
  return true;
}

bool RowReader::field(const ColumnLayout& column, Field& out) const {
  const std::size_t bit = column.number;
  out.present = bit < columnCount_ && ((page_[maskStart_ + bit / 8] >> (bit % 8)) & 1) != 0;
  out.offset = 0;
  out.length = 0;
  if (column.is(JetType::Boolean) || !out.present) return true;

  if (column.fixed) {
    const std::size_t start = extent_.start + format_.rowColumnCountBytes + column.fixedOffset;
    if (start + column.size > dataEnd_) return false;
    out.offset = start;
    out.length = column.size;
    return true;
  }
  if (column.varIndex >= variableCount_) {
    out.present = false;  // the column was added after this row was written
    return true;
  }
  std::size_t from = 0, to = 0;
  if (!variableOffset(column.varIndex, from) || !variableOffset(column.varIndex + 1u, to)) {
    return false;
  }
  if (from > to || from < format_.rowColumnCountBytes || extent_.start + to > dataEnd_) {
    return false;
  }
  out.offset = extent_.start + from;
  out.length = to - from;
  return true;
}

}  // namespace leafward::jet
