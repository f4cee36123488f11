#pragma once

#include <cstdint>
#include <map>
#include <memory>
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
// Floating (a Decimal's value keeps its exact digits); Text and Memo as Text (UTF-8); Date/Time as
// Date; Binary and OLE Object as Binary; Replication ID as Guid; types we do not know as Other,
// whose values read as NULL.
//
// A column once read is kept and handed to later reads of the table for as long as the pages
// it came from hold the same bytes: every read takes a digest of those pages first, and reads
// the rows afresh when it differs (another program, or our own writer, changed the table).
// The four statements of a Check so read the rows of `code` once.
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

  // The session is about to change column `column` of `table` itself. What was read of that
  // column and where the rows lie are let go, and so is what the other columns keep only to
  // speed up searches; their values stay, to be handed on after the change when they still
  // read the same.
  void letGoOf(std::string_view table, std::size_t column);

 private:
  // What has been read of one table.
  struct ReadTable {
    std::map<std::size_t, std::shared_ptr<const sql::ColumnValues>> columns;  // by position
    std::vector<RowLocation> locations;
    // The pages the values came from (the table's own and any others reached from its rows:
    // moved rows, long values), ascending, and their digest when they were read.
    std::vector<std::uint32_t> pages;
    std::uint64_t digest = 0;
    bool stale = false;  // known to differ from the file: read again before use
  };

  void readRows(const JetTable& table, const std::vector<std::size_t>& columns, ReadTable& into);

  JetDatabase& database_;
  std::map<std::string, ReadTable> tables_;  // by lower-cased table name
};

sql::ColumnType columnTypeOf(const ColumnDefinition& column);

}  // namespace leafward::jet
