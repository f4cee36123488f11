#include "dataaccess/jet/jet_database.h"

#include <optional>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/row_cursor.h"
#include "dataaccess/jet/row_reader.h"
#include "dataaccess/jet/usage_map.h"
#include "dataaccess/jet/value_decoder.h"

namespace leafward::jet {
namespace {

constexpr std::int64_t kObjectTypeTable = 1;
constexpr std::int64_t kObjectTypeOdbcLink = 4;
constexpr std::int64_t kObjectTypeLink = 6;
constexpr std::int64_t kObjectTypeMask = 0x7F;
constexpr std::int64_t kSystemObjectFlags = 0x80000002;
constexpr std::uint32_t kPageNumberMask = 0x00FFFFFF;

const ColumnLayout& catalogColumn(const JetFile& file, const TableLayout& catalog,
                                  std::string_view name) {
  for (const auto& column : catalog.columns) {
    if (dataaccess::equalsIgnoringCase(column.name, name)) return column;
  }
  file.damaged("the catalog has no column " + std::string(name));
}

const ColumnLayout* optionalCatalogColumn(const TableLayout& catalog, std::string_view name) {
  for (const auto& column : catalog.columns) {
    if (dataaccess::equalsIgnoringCase(column.name, name)) return &column;
  }
  return nullptr;
}

bool isSystemName(const std::string& name) {
  return name.size() >= 4 && dataaccess::equalsIgnoringCase(name.substr(0, 4), "MSys");
}

}  // namespace

JetDatabase::JetDatabase(const std::string& path, std::optional<std::uint16_t> codePage)
    : file_(std::make_unique<JetFile>(path)),
      definitions_(std::make_unique<TableDefinitions>(*file_)) {
  if (codePage && !knownCodePage(*codePage)) {
    throw dataaccess::DataAccessError("The code page " + std::to_string(*codePage) +
                                      " is not supported");
  }
  text_ = std::make_unique<TextDecoder>(file_->format().version,
                                        codePage.value_or(file_->header().codePage));
  readCatalog();
}

JetDatabase::~JetDatabase() = default;

void JetDatabase::readCatalog() {
  const TableLayout catalog = definitions_->read(kCatalogTablePage, "MSysObjects");
  const std::vector<std::uint32_t> pages = pagesOfUsageMap(*file_, catalog.usageMap, catalog.name);
  const ColumnLayout& id = catalogColumn(*file_, catalog, "Id");
  const ColumnLayout& name = catalogColumn(*file_, catalog, "Name");
  const ColumnLayout& type = catalogColumn(*file_, catalog, "Type");
  const ColumnLayout& flags = catalogColumn(*file_, catalog, "Flags");
  const ColumnLayout* database = optionalCatalogColumn(catalog, "Database");
  const ColumnLayout* connect = optionalCatalogColumn(catalog, "Connect");
  const ColumnLayout* foreignName = optionalCatalogColumn(catalog, "ForeignName");

  struct Entry {
    std::string name;
    std::uint32_t page;
  };
  std::vector<Entry> entries;
  RowCursor cursor(*file_, catalog, pages);
  RowReader reader(file_->format());
  ValueDecoder decoder(*file_, *text_);
  auto value = [&](const ColumnLayout& column) {
    Field field;
    if (!reader.field(column, field)) file_->damaged("a row of the catalog is malformed");
    return decoder.decode(column, cursor.page(), field);
  };
  // A link's details only serve its message: one that cannot be read is left empty.
  auto linkText = [&](const ColumnLayout* column) {
    try {
      const Value found = column ? value(*column) : Value();
      return found.kind() == Value::Kind::Text ? found.asText() : std::string();
    } catch (const dataaccess::DataAccessError&) {
      return std::string();
    }
  };
  while (cursor.next()) {
    if (!reader.parse(cursor.page(), cursor.extent(), catalog)) {
      file_->damaged("a row of the catalog is malformed");
    }
    const Value objectType = value(type);
    const Value objectFlags = value(flags);
    const Value objectId = value(id);
    const Value objectName = value(name);
    if (objectType.kind() != Value::Kind::Integer || objectId.kind() != Value::Kind::Integer ||
        objectName.kind() != Value::Kind::Text) {
      continue;
    }
    const std::int64_t flagBits =
        objectFlags.kind() == Value::Kind::Integer ? objectFlags.asInteger() : 0;
    const std::int64_t kind = objectType.asInteger() & kObjectTypeMask;
    if ((flagBits & kSystemObjectFlags) != 0 || isSystemName(objectName.asText())) continue;
    if (kind == kObjectTypeLink || kind == kObjectTypeOdbcLink) {
      const bool odbc = kind == kObjectTypeOdbcLink;
      links_.push_back({objectName.asText(), linkText(foreignName),
                        odbc ? "" : linkedFileOf(linkText(database), linkText(connect)), odbc});
      continue;
    }
    if (kind != kObjectTypeTable) continue;
    entries.push_back(
        {objectName.asText(), static_cast<std::uint32_t>(objectId.asInteger()) & kPageNumberMask});
  }

  for (const auto& entry : entries) {
    if (findTable(entry.name)) continue;
    JetTable table;
    table.layout = definitions_->read(entry.page, entry.name);
    table.pages = pagesOfUsageMap(*file_, table.layout.usageMap, entry.name);
    tables_.push_back(std::move(table));
  }
}

const LinkedTable* JetDatabase::findLink(std::string_view name) const {
  for (const auto& link : links_) {
    if (dataaccess::equalsIgnoringCase(link.name, name)) return &link;
  }
  return nullptr;
}

const JetTable* JetDatabase::findTable(std::string_view name) const {
  for (const auto& table : tables_) {
    if (dataaccess::equalsIgnoringCase(table.layout.name, name)) return &table;
  }
  return nullptr;
}

}  // namespace leafward::jet
