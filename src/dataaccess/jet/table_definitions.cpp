#include "dataaccess/jet/table_definitions.h"

#include <mdbtools.h>

#include <cstring>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/jet/data_page.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxIndexes = 255;
constexpr std::size_t kMaxNameBytes = 256;
constexpr std::size_t kContinuationHeader = 8;  // a continuation page's data starts here

// Follows a table definition across its pages the way libmdb reads it: a read that reaches
// the end of a page moves on to the page named at offset 4, where data resumes at offset 8.
class DefinitionStream {
 public:
  DefinitionStream(const JetFile& file, std::uint32_t firstPage, const std::string& table)
      : file_(file), table_(table), page_(file.pageSize()) {
    file_.readPage(firstPage, page_);
  }
  Bytes firstPage() const { return page_; }

  void seek(std::size_t position) { position_ = position; }

  // Consumes `length` bytes; copies them to `out` when given.
  void take(std::size_t length, std::uint8_t* out = nullptr) {
    const std::size_t pageSize = file_.pageSize();
    while (position_ >= pageSize) {
      advance();
      position_ -= pageSize - kContinuationHeader;
    }
    while (position_ + length >= pageSize) {
      const std::size_t piece = pageSize - position_;
      copy(piece, out);
      if (out) out += piece;
      length -= piece;
      advance();
      position_ = kContinuationHeader;
    }
    if (length > 0) copy(length, out);
    position_ += length;
  }

  std::size_t takeNumber(std::size_t width) {
    std::uint8_t bytes[2] = {0, 0};
    take(width, bytes);
    return width == 1 ? bytes[0] : readU16(Bytes(bytes, 2), 0);
  }

 private:
  void copy(std::size_t length, std::uint8_t* out) {
    if (length == 0) return;
    if (ended_) cutShort();
    if (out) std::memcpy(out, page_.data() + position_, length);
  }
  void advance() {
    if (ended_) cutShort();
    const std::uint32_t next = readU32(page_, 4);
    if (next >= file_.pageCount()) {
      file_.truncated("the definition of table " + table_ + " continues past the end of the file");
    }
    if (next == 0) {
      ended_ = true;
      return;
    }
    file_.readPage(next, page_);
    if (page_[0] != kPageTableDefinition) ended_ = true;
  }
  [[noreturn]] void cutShort() const {
    file_.damaged("the definition of table " + table_ + " is cut short");
  }

  const JetFile& file_;
  const std::string& table_;
  std::vector<std::uint8_t> page_;
  std::size_t position_ = 0;
  bool ended_ = false;
};

}  // namespace

struct TableDefinitions::Library {
  MdbHandle* handle = nullptr;
};

TableDefinitions::TableDefinitions(const JetFile& file)
    : file_(file), library_(std::make_unique<Library>()) {
  library_->handle = mdb_open(file.path().c_str(), MDB_NOFLAGS);
  if (!library_->handle) {
    throw dataaccess::DataAccessError("The file " + file.path() + " cannot be opened");
  }
}

TableDefinitions::~TableDefinitions() {
  if (library_->handle) mdb_close(library_->handle);
}

void TableDefinitions::checkRowPointer(std::uint32_t pointer, const std::string& what) {
  const std::uint32_t pageNumber = pointer >> 8;
  if (pageNumber >= file_.pageCount()) file_.truncated(what + " lies past the end of the file");
  std::vector<std::uint8_t> page(file_.pageSize());
  file_.readPage(pageNumber, page);
  const RowTable rows(page, file_.format());
  const auto count = rows.count();
  const std::size_t slot = pointer & 0xFF;
  if (!count || slot >= *count || !rows.extent(slot, *count)) file_.damaged(what + " is missing");
}

void TableDefinitions::check(std::uint32_t page, const std::string& name) {
  if (page >= file_.pageCount()) {
    file_.truncated("the definition of table " + name + " lies past the end of the file");
  }
  const JetFormat& format = file_.format();
  DefinitionStream stream(file_, page, name);
  const Bytes first = stream.firstPage();
  if (first[0] != kPageTableDefinition) {
    file_.damaged("the definition of table " + name + " is missing");
  }
  const std::size_t columns = readU16(first, format.tdefNumCols);
  const std::size_t indexes = readU32(first, format.tdefNumRealIdxs);
  if (columns == 0 || columns > kMaxColumns || indexes > kMaxIndexes ||
      readU16(first, format.tdefNumVarCols) > kMaxColumns) {
    file_.damaged("the definition of table " + name + " has impossible counts");
  }
  const std::uint32_t usageMap = readU32(first, format.tdefUsageMap);
  const std::uint32_t freeMap = readU32(first, format.tdefFreeMap);
  checkRowPointer(usageMap, "the page map of table " + name);
  checkRowPointer(freeMap, "the free-space map of table " + name);

  stream.seek(format.tdefColumnsStart + indexes * format.tdefRealIdxEntry);
  stream.take(columns * format.tdefColumnEntry);
  for (std::size_t i = 0; i < columns; ++i) {
    const std::size_t nameBytes = stream.takeNumber(format.nameLengthBytes);
    if (nameBytes == 0 || nameBytes > kMaxNameBytes) {
      file_.damaged("the definition of table " + name + " has a malformed column name");
    }
    stream.take(nameBytes);
  }
}

TableLayout TableDefinitions::read(std::uint32_t page, const std::string& name) {
  check(page, name);

  MdbCatalogEntry entry;
  std::memset(&entry, 0, sizeof entry);
  entry.mdb = library_->handle;
  entry.object_type = MDB_TABLE;
  entry.table_pg = page;
  std::snprintf(entry.object_name, sizeof entry.object_name, "%s", name.c_str());

  MdbTableDef* table = mdb_read_table(&entry);
  if (!table) file_.damaged("the definition of table " + name + " cannot be read");
  struct Release {
    MdbTableDef* table;
    ~Release() { mdb_free_tabledef(table); }
  } release{table};
  if (!mdb_read_columns(table) || table->columns->len != table->num_cols) {
    file_.damaged("the columns of table " + name + " cannot be read");
  }

  TableLayout layout;
  layout.name = name;
  layout.definitionPage = page;
  layout.variableColumnCount = table->num_var_cols;
  layout.rowCountHint = table->num_rows;
  layout.usageMap.assign(table->usage_map, table->usage_map + table->map_sz);
  for (unsigned i = 0; i < table->num_cols; ++i) {
    const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
    ColumnLayout out;
    out.name = column->name;
    out.type = static_cast<std::uint8_t>(column->col_type);
    out.number = static_cast<std::uint16_t>(column->col_num);
    out.varIndex = static_cast<std::uint16_t>(column->var_col_num);
    out.fixedOffset = static_cast<std::uint16_t>(column->fixed_offset);
    out.size = static_cast<std::uint16_t>(column->col_size);
    out.fixed = column->is_fixed != 0;
    // libmdb calls the digits after the point "col_prec".
    out.decimals = static_cast<std::uint8_t>(column->col_prec);
    if (out.name.empty()) {
      file_.damaged("the definition of table " + name + " has a column without a name");
    }
    layout.columns.push_back(std::move(out));
  }
  return layout;
}

}  // namespace leafward::jet
