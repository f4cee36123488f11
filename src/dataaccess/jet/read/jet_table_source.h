#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/read/jet_database.h"
#include "dataaccess/sql/table_source.h"

namespace leafward::jet {

// The user tables of an .mdb file as the SQL engine sees them. Column types: Yes/No as
// YesNo; Byte, Integer and Long Integer as Integer; Single, Double, Currency and Decimal as
// Floating; Text and Memo as Text (UTF-8); Date/Time as Date; Binary and OLE Object as Binary;
// Replication ID as Guid; types we do not know as Other, whose values read as NULL.
class JetTableSource : public sql::TableSource {
 public:
  explicit JetTableSource(JetDatabase& database) : database_(database) {}

  // A linked table is not described: naming one throws DataAccessError with the file it
  // links to.
  std::optional<sql::TableInfo> describe(std::string_view table) override;
  sql::TableData read(const sql::TableInfo& table,
                      const std::vector<std::size_t>& columns) override;

  const JetDatabase& database() const { return database_; }

  // Where each row delivered by the latest read of `table` lives, in the order read
  // delivered them; empty when the table has not been read.
  const std::vector<RowLocation>& rowLocations(std::string_view table) const;

 private:
  JetDatabase& database_;
  std::map<std::string, std::vector<RowLocation>> locations_;  // by lower-cased table name
};

sql::ColumnType columnTypeOf(const ColumnDefinition& column);

}  // namespace leafward::jet
