#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/table_definition.h"
#include "dataaccess/jet/format/text.h"
#include "dataaccess/jet/read/linked_table.h"

namespace leafward::jet {

// A user table: its definition and the pages its usage map names.
struct JetTable {
  TableDefinition definition;
  std::vector<std::uint32_t> pages;
};

// The user tables of an open .mdb file. Reading them reads the catalog and the definition and
// page map of every user table, so a file that is damaged or cut short in any of them fails
// here. System tables (MSys...) are left out; linked tables are only listed.
class JetDatabase {
 public:
  // `codePage`, when given, is the Windows code page of Jet 3 text in place of the one the
  // header names (a file written on a system with another code page); Jet 4 text is Unicode
  // and needs none. Throws DataAccessError when that code page cannot be converted.
  explicit JetDatabase(Pager& pager, std::optional<std::uint16_t> codePage = std::nullopt);
  JetDatabase(const JetDatabase&) = delete;
  JetDatabase& operator=(const JetDatabase&) = delete;

  Pager& pager() { return pager_; }
  const Pager& pager() const { return pager_; }
  TextDecoder& text() { return text_; }
  // The code page Jet 3 text is read in.
  std::uint16_t codePage() const { return codePage_; }
  const std::vector<JetTable>& tables() const { return tables_; }

  // The user table of that name, compared without regard to ASCII case; nullptr when none.
  const JetTable* findTable(std::string_view name) const;
  // The linked table of that name, compared the same way; nullptr when none.
  const LinkedTable* findLink(std::string_view name) const;

 private:
  void readCatalog();

  Pager& pager_;
  std::uint16_t codePage_;
  TextDecoder text_;
  std::vector<JetTable> tables_;
  std::vector<LinkedTable> links_;
};

}  // namespace leafward::jet
