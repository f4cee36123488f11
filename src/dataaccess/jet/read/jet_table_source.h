#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/read/jet_database.h"
#include "dataaccess/jet/read/kept_table.h"
#include "dataaccess/jet/read/row_locations.h"
#include "dataaccess/sql/table_source.h"

namespace leafward::jet {

// The user tables of an .mdb file as the SQL engine sees them. Column types: Yes/No as
// YesNo; Byte, Integer and Long Integer as Integer; Single, Double, Currency and Decimal as
// Floating (a Decimal's value keeps its exact digits); Text and Memo as Text (UTF-8);
// Date/Time as Date; Binary and OLE Object as Binary; Replication ID as Guid; types we do not
// know as Other, whose values read as NULL.
//
// What is read of a table is kept and handed to later reads for as long as the pages it came
// from hold the same bytes (see KeptTable): the four statements of a Check so read the rows of
// `code` once, and after an Update only the rows on the pages it wrote are read again.
class JetTableSource : public sql::TableSource {
 public:
  explicit JetTableSource(JetDatabase& database) : database_(database) {}

  // A linked table is not described: naming one throws DataAccessError with the file it
  // links to.
  std::optional<sql::TableInfo> describe(std::string_view table) override;
  sql::TableData read(const sql::TableInfo& table,
                      const std::vector<std::size_t>& columns) override;

  const JetDatabase& database() const { return database_; }
  JetDatabase& database() { return database_; }

  // Where each row delivered by the latest read of `table` lives, in the order read
  // delivered them; empty when the table has not been read.
  const RowLocations& rowLocations(std::string_view table) const;

  // Lets go of what is kept of `table` only to speed up searches: the session calls it before
  // its writer runs, so that the two do not take up memory at the same time.
  void letGoOfSearchAids(std::string_view table);

  // The session holds its read lock from lockTaken() to lockReleased(): meanwhile no writer
  // can change the file, so a table brought up to date with the file once is not hashed again
  // for the reads after. Without a lock taken, every read brings it up to date.
  void lockTaken() { lockHeld_ = ++locksTaken_; }
  void lockReleased() { lockHeld_ = 0; }

 private:
  JetDatabase& database_;
  std::map<std::string, KeptTable> tables_;  // by lower-cased table name
  std::uint64_t locksTaken_ = 0;
  std::uint64_t lockHeld_ = 0;  // the number of the lock held, 0 for none
};

sql::ColumnType columnTypeOf(const ColumnDefinition& column);

}  // namespace leafward::jet
