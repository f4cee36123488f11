#include "dataaccess/jet/table_definition.h"

#include <algorithm>
#include <set>
#include <span>

#include "dataaccess/errors.h"
#include "dataaccess/jet/byte_order.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;

// Where things sit in a table definition, by version.
struct Layout {
  std::size_t maxColumns, variableColumns, columnCount, indexCount, realIndexCount;
  std::size_t realIndexStart, realIndexEntry;
  std::size_t columnEntry, columnNumber, columnFlags, columnFixedOffset, columnLength;
  std::size_t nameLengthBytes;
  std::size_t indexColumnsSkip, indexColumnsEntry;
};

constexpr Layout kJet3{21, 23, 25, 27, 31, 43, 8, 18, 1, 13, 14, 16, 1, 0, 39};
constexpr Layout kJet4{41, 43, 45, 47, 51, 63, 12, 25, 5, 15, 21, 23, 2, 4, 52};

constexpr std::uint8_t kFixedLengthFlag = 0x01;
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxIndexes = 1000;
constexpr std::size_t kIndexColumnSlots = 10;

class Reader {
 public:
  Reader(std::span<const std::uint8_t> bytes, std::string context)
      : bytes_(bytes), context_(std::move(context)) {}

  void need(std::size_t at, std::size_t length) const {
    if (at > bytes_.size() || length > bytes_.size() - at) {
      throw DataAccessError(context_ + " is damaged: it ends too early");
    }
  }
  std::uint8_t u8(std::size_t at) const {
    need(at, 1);
    return bytes_[at];
  }
  std::uint16_t u16(std::size_t at) const {
    need(at, 2);
    return readU16(bytes_, at);
  }
  std::uint32_t u32(std::size_t at) const {
    need(at, 4);
    return readU32(bytes_, at);
  }
  std::span<const std::uint8_t> slice(std::size_t at, std::size_t length) const {
    need(at, length);
    return bytes_.subspan(at, length);
  }
  const std::string& context() const { return context_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::string context_;
};

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Jet 4 names are UCS-2, or "compressed" (a FF FE mark, then one byte per character until a
// zero byte switches to two-byte characters and back).
std::string decodeJet4Name(std::span<const std::uint8_t> bytes) {
  std::string out;
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    bool compressed = true;
    for (std::size_t i = 2; i < bytes.size();) {
      if (bytes[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        appendUtf8(out, bytes[i++]);
      } else if (i + 1 < bytes.size()) {
        appendUtf8(out, readU16(bytes, i));
        i += 2;
      } else {
        break;
      }
    }
    return out;
  }
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) appendUtf8(out, readU16(bytes, i));
  return out;
}

std::string decodeJet3Name(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (auto byte : bytes) appendUtf8(out, byte);
  return out;
}

// The definition can run over several pages linked through their next-page field; the data
// of each further page starts after its 8-byte header.
std::vector<std::uint8_t> readDefinitionBytes(const PageFile& file, std::uint32_t first,
                                              const std::string& context) {
  std::vector<std::uint8_t> bytes;
  std::set<std::uint32_t> seen;
  std::uint32_t page = first;
  while (page != 0) {
    if (!seen.insert(page).second || seen.size() > 256) {
      throw DataAccessError(context + " is damaged: its pages form a loop");
    }
    auto image = file.readPage(page);
    if (image[0] != kPageTableDefinition) {
      throw DataAccessError(context + " is damaged: page " + std::to_string(page) +
                            " is not a table definition page");
    }
    if (bytes.empty()) {
      bytes = image;
    } else {
      bytes.insert(bytes.end(), image.begin() + 8, image.end());
    }
    page = readU32(image, 4);
  }
  return bytes;
}

}  // namespace

const ColumnDefinition* TableDefinition::findColumn(std::string_view name) const {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  for (const auto& column : columns) {
    if (column.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), column.name.begin(),
                   [&](char a, char b) { return lower(a) == lower(b); })) {
      return &column;
    }
  }
  return nullptr;
}

bool TableDefinition::isIndexed(std::uint16_t columnNumber) const {
  return std::any_of(indexes.begin(), indexes.end(), [&](const IndexDefinition& index) {
    return std::find(index.columnNumbers.begin(), index.columnNumbers.end(), columnNumber) !=
           index.columnNumbers.end();
  });
}

std::size_t TableDefinition::fixedDataLength(std::uint16_t rowColumns) const {
  std::size_t length = 0;
  for (const auto& column : columns) {
    if (column.fixedLength && column.type != kYesNoColumn && column.number < rowColumns) {
      length = std::max<std::size_t>(length, column.fixedOffset + column.length);
    }
  }
  return length;
}

TableDefinition readTableDefinition(const PageFile& file, std::uint32_t page) {
  std::string context =
      "the table definition at page " + std::to_string(page) + " of " + file.path();
  auto bytes = readDefinitionBytes(file, page, context);
  const Layout& layout = file.version() == JetVersion::Jet4 ? kJet4 : kJet3;
  Reader in(bytes, context);

  TableDefinition table;
  table.page = page;
  table.maxColumns = in.u16(layout.maxColumns);
  table.variableColumns = in.u16(layout.variableColumns);
  std::size_t columnCount = in.u16(layout.columnCount);
  std::size_t indexCount = in.u32(layout.indexCount);
  std::size_t realIndexCount = in.u32(layout.realIndexCount);
  if (columnCount == 0 || columnCount > kMaxColumns || table.maxColumns < columnCount ||
      table.maxColumns > kMaxColumns || table.variableColumns > columnCount ||
      indexCount > kMaxIndexes || realIndexCount > kMaxIndexes) {
    throw DataAccessError(context + " is damaged: its column or index counts are impossible");
  }

  std::size_t at = layout.realIndexStart + realIndexCount * layout.realIndexEntry;
  std::set<std::uint16_t> numbers;
  for (std::size_t i = 0; i < columnCount; ++i, at += layout.columnEntry) {
    auto entry = in.slice(at, layout.columnEntry);
    ColumnDefinition column;
    column.type = entry[0];
    column.number = readU16(entry, layout.columnNumber);
    column.fixedLength = (entry[layout.columnFlags] & kFixedLengthFlag) != 0;
    column.fixedOffset = readU16(entry, layout.columnFixedOffset);
    column.length = readU16(entry, layout.columnLength);
    if (column.number >= table.maxColumns || !numbers.insert(column.number).second) {
      throw DataAccessError(context + " is damaged: its column numbers are impossible");
    }
    table.columns.push_back(std::move(column));
  }
  for (auto& column : table.columns) {
    std::size_t length =
        layout.nameLengthBytes == 2 ? in.u16(at) : static_cast<std::size_t>(in.u8(at));
    at += layout.nameLengthBytes;
    auto name = in.slice(at, length);
    column.name = file.version() == JetVersion::Jet4 ? decodeJet4Name(name) : decodeJet3Name(name);
    at += length;
  }
  for (std::size_t i = 0; i < realIndexCount; ++i, at += layout.indexColumnsEntry) {
    auto entry = in.slice(at, layout.indexColumnsEntry);
    IndexDefinition index;
    for (std::size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
      std::uint16_t number = readU16(entry, layout.indexColumnsSkip + 3 * slot);
      if (number == kNoColumn) continue;
      if (!numbers.contains(number)) {
        throw DataAccessError(context +
                              " is damaged: an index names a column the table does not have");
      }
      index.columnNumbers.push_back(number);
    }
    table.indexes.push_back(std::move(index));
  }
  return table;
}

}  // namespace leafward::jet
