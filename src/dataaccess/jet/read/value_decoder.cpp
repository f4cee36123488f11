#include "dataaccess/jet/read/value_decoder.h"

#include <algorithm>

#include "dataaccess/jet/format/data_page.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kMemoHeader = 12;
constexpr std::uint32_t kMemoInline = 0x80000000;
constexpr std::uint32_t kMemoSingleRow = 0x40000000;
constexpr std::size_t kDecimalBytes = 17;
constexpr std::size_t kGuidBytes = 16;

std::size_t storedSize(JetType type) {
  switch (type) {
    case JetType::Byte:
      return 1;
    case JetType::Integer:
      return 2;
    case JetType::LongInteger:
    case JetType::Single:
      return 4;
    case JetType::Money:
    case JetType::Double:
    case JetType::DateTime:
      return 8;
    case JetType::Numeric:
      return kDecimalBytes;
    case JetType::Guid:
      return kGuidBytes;
    case JetType::Memo:
    case JetType::Ole:
      return kMemoHeader;
    default:
      return 0;
  }
}

}  // namespace

dataaccess::Decimal decodeDecimal(Bytes bytes, unsigned decimals) {
  dataaccess::Decimal value;
  value.high = (std::uint64_t{readU32(bytes, 1)} << 32) | readU32(bytes, 5);
  value.low = (std::uint64_t{readU32(bytes, 9)} << 32) | readU32(bytes, 13);
  value.scale = static_cast<std::uint8_t>(decimals);
  value.negative = (bytes[0] & 0x80) != 0;
  return value;
}

ValueDecoder::ValueDecoder(const Pager& file, TextDecoder& text)
    : file_(file), text_(text), longValuePage_(file.pageSize()) {}

void ValueDecoder::malformed(const ColumnDefinition& column) const {
  file_.damaged("a value of column " + column.name + " is malformed");
}

Value ValueDecoder::decode(const ColumnDefinition& column, Bytes page, const Field& field) {
  const auto type = static_cast<JetType>(column.type);
  if (type == JetType::Boolean) return Value::yesNo(field.present);
  if (!field.present) return Value();
  if (field.length < storedSize(type)) malformed(column);
  const Bytes bytes = page.subspan(field.offset, field.length);
  switch (type) {
    case JetType::Byte:
      return Value::integer(bytes[0]);
    case JetType::Integer:
      return Value::integer(static_cast<std::int16_t>(readU16(bytes, 0)));
    case JetType::LongInteger:
      return Value::integer(static_cast<std::int32_t>(readU32(bytes, 0)));
    case JetType::Money:
      return Value::currency({static_cast<std::int64_t>(readU64(bytes, 0))});
    case JetType::Single:
      return Value::single(readFloat(bytes, 0));
    case JetType::Double:
      return Value::floating(readDouble(bytes, 0));
    case JetType::DateTime:
      return Value::date(dataaccess::DateTime{readDouble(bytes, 0)});
    case JetType::Numeric:
      if (column.scale > dataaccess::Decimal::kMaxScale) malformed(column);
      return Value::decimal(decodeDecimal(bytes, column.scale));
    case JetType::Text: {
      std::string text;
      text_.append(bytes, text);
      return Value::text(std::move(text));
    }
    case JetType::Memo: {
      std::string text;
      text_.append(longValue(page, field), text);
      return Value::text(std::move(text));
    }
    case JetType::Binary:
      return Value::binary({bytes.begin(), bytes.end()});
    case JetType::Ole: {
      const Bytes data = longValue(page, field);
      return Value::binary({data.begin(), data.end()});
    }
    case JetType::Guid: {
      dataaccess::Guid guid;
      std::copy_n(bytes.begin(), kGuidBytes, guid.bytes.begin());
      return Value::guid(guid);
    }
    default:
      return Value();
  }
}

void ValueDecoder::decodeInto(const ColumnDefinition& column, Bytes page, const Field& field,
                              sql::ColumnValues& out) {
  const auto type = static_cast<JetType>(column.type);
  if (type == JetType::Boolean) return out.appendYesNo(field.present);
  if (!field.present) return out.appendNull();
  if (type == JetType::Text) {
    out.appendTextWith(
        [&](std::string& text) { text_.append(page.subspan(field.offset, field.length), text); });
    return;
  }
  out.append(decode(column, page, field));
}

Bytes ValueDecoder::longValueRow(std::uint32_t pointer) {
  const std::uint32_t pageNumber = pageOfPointer(pointer);
  const std::size_t slot = slotOfPointer(pointer);
  if (pageNumber != longValuePageNumber_) {
    longValuePageNumber_ = UINT64_MAX;
    file_.readPage(pageNumber, longValuePage_);
    if (longValuePage_[0] != kPageData ||
        readU32(longValuePage_, kPageLinkOffset) != kLongValueTag) {
      file_.damaged("page " + std::to_string(pageNumber) + " should hold a long value");
    }
    longValuePageNumber_ = pageNumber;
    pagesRead_.push_back(pageNumber);
  }
  const RowTable rows(longValuePage_, file_.format());
  const auto count = rows.count();
  std::optional<RowExtent> extent;
  if (count && slot < *count) extent = rows.extent(slot, *count);
  if (!extent) {
    file_.damaged("a long value on page " + std::to_string(pageNumber) + " cannot be found");
  }
  return Bytes(longValuePage_).subspan(extent->start, extent->size());
}

Bytes ValueDecoder::longValue(Bytes page, const Field& field) {
  const std::uint32_t header = readU32(page, field.offset);
  const std::uint32_t pointer = readU32(page, field.offset + 4);
  if ((header & kMemoInline) != 0) {
    return page.subspan(field.offset + kMemoHeader, field.length - kMemoHeader);
  }
  if ((header & kMemoSingleRow) != 0) return longValueRow(pointer);
  if ((header & 0xFF000000) != 0) {
    file_.damaged("a long value has an unknown storage kind");
  }
  // A chain of rows, each starting with a pointer to the next.
  std::size_t remaining = header;
  longValue_.clear();
  std::uint32_t next = pointer;
  for (std::uint64_t hops = 0; next != 0 && remaining > 0; ++hops) {
    if (hops > file_.pageCount()) file_.damaged("a long value's pages form a loop");
    const Bytes row = longValueRow(next);
    if (row.size() < 4) file_.damaged("a long value's pages are malformed");
    next = readU32(row, 0);
    const Bytes part = row.subspan(4, std::min(row.size() - 4, remaining));
    longValue_.insert(longValue_.end(), part.begin(), part.end());
    remaining -= part.size();
  }
  return longValue_;
}

}  // namespace leafward::jet
