#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/table_definition.h"
#include "dataaccess/jet/format/text.h"

namespace leafward::jet {

// A user table: its definition and the pages its usage map names.
struct JetTable {
  TableDefinition definition;
  std::vector<std::uint32_t> pages;
};

// The user tables of an open .mdb file. Reading them reads the catalog and the definition and
// page map of every user table, so a file that is damaged or cut short in any of them fails
// here. System tables (MSys...) and linked tables are left out.
class JetDatabase {
 public:
  explicit JetDatabase(Pager& pager);
  JetDatabase(const JetDatabase&) = delete;
  JetDatabase& operator=(const JetDatabase&) = delete;

  Pager& pager() { return pager_; }
  const Pager& pager() const { return pager_; }
  TextDecoder& text() { return text_; }
  const std::vector<JetTable>& tables() const { return tables_; }

  // The user table of that name, compared without regard to ASCII case; nullptr when none.
  const JetTable* findTable(std::string_view name) const;

 private:
  void readCatalog();

  Pager& pager_;
  TextDecoder text_;
  std::vector<JetTable> tables_;
};

}  // namespace leafward::jet
