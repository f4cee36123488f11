#include "dataaccess/jet/read/jet_database.h"

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/format/usage_map.h"
#include "dataaccess/jet/read/row_cursor.h"
#include "dataaccess/jet/read/value_decoder.h"
#include "platform/code_page.h"

namespace leafward::jet {
namespace {

constexpr std::int64_t kObjectTypeTable = 1;
constexpr std::int64_t kObjectTypeOdbcLink = 4;
constexpr std::int64_t kObjectTypeLink = 6;
constexpr std::int64_t kObjectTypeMask = 0x7F;
constexpr std::int64_t kSystemObjectFlags = 0x80000002;
constexpr std::uint32_t kPageNumberMask = 0x00FFFFFF;

const ColumnDefinition& catalogColumn(const Pager& pager, const TableDefinition& catalog,
                                      std::string_view name) {
  const ColumnDefinition* column = catalog.findColumn(name);
  if (!column) pager.damaged("the catalog has no column " + std::string(name));
  return *column;
}

// The code page of Jet 3 text: the one the user names, or the header's.
std::uint16_t codePageOf(const Pager& pager, std::optional<std::uint16_t> named) {
  if (named && !platform::codePageSupported(*named)) {
    throw dataaccess::DataAccessError("The code page " + std::to_string(*named) +
                                      " is not supported");
  }
  return named.value_or(pager.header().codePage);
}

bool isSystemName(const std::string& name) {
  return name.size() >= 4 && dataaccess::equalsIgnoringCase(name.substr(0, 4), "MSys");
}

}  // namespace

JetDatabase::JetDatabase(Pager& pager, std::optional<std::uint16_t> codePage)
    : pager_(pager),
      codePage_(codePageOf(pager, codePage)),
      text_(pager.format().version, codePage_) {
  readCatalog();
}

void JetDatabase::readCatalog() {
  const TableDefinition catalog =
      readTableDefinition(pager_, text_, kCatalogTablePage, "MSysObjects");
  const std::vector<std::uint32_t> pages = pagesOfUsageMap(pager_, catalog.usageMap, catalog.name);
  const ColumnDefinition& id = catalogColumn(pager_, catalog, "Id");
  const ColumnDefinition& name = catalogColumn(pager_, catalog, "Name");
  const ColumnDefinition& type = catalogColumn(pager_, catalog, "Type");
  const ColumnDefinition& flags = catalogColumn(pager_, catalog, "Flags");
  const ColumnDefinition* database = catalog.findColumn("Database");
  const ColumnDefinition* connect = catalog.findColumn("Connect");
  const ColumnDefinition* foreignName = catalog.findColumn("ForeignName");

  struct Entry {
    std::string name;
    std::uint32_t page;
  };
  std::vector<Entry> entries;
  RowCursor cursor(pager_, catalog, pages);
  RowDecoder row(pager_.format(), catalog);
  ValueDecoder decoder(pager_, text_);
  auto value = [&](const ColumnDefinition& column) {
    return decoder.decode(column, cursor.page(), row.field(column));
  };
  // A link's details only serve its message: one that cannot be read is left empty.
  auto linkText = [&](const ColumnDefinition* column) {
    try {
      const Value found = column ? value(*column) : Value();
      return found.kind() == Value::Kind::Text ? found.asText() : std::string();
    } catch (const dataaccess::DataAccessError&) {
      return std::string();
    }
  };
  while (cursor.next()) {
    if (!row.parse(cursor.page(), cursor.extent())) cursor.badRow(row.problem());
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
    if (entry.page >= pager_.pageCount()) {
      pager_.truncated("the definition of table " + entry.name + " lies past the end of the file");
    }
    table.definition = readTableDefinition(pager_, text_, entry.page, entry.name);
    table.pages = pagesOfUsageMap(pager_, table.definition.usageMap, entry.name);
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
    if (dataaccess::equalsIgnoringCase(table.definition.name, name)) return &table;
  }
  return nullptr;
}

}  // namespace leafward::jet
