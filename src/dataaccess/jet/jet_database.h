#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/jet/jet_file.h"
#include "dataaccess/jet/linked_table.h"
#include "dataaccess/jet/table_definitions.h"
#include "dataaccess/jet/table_layout.h"
#include "dataaccess/jet/text_decoder.h"

namespace leafward::jet {

// A user table: its definition and the pages its usage map names.
struct JetTable {
  TableLayout layout;
  std::vector<std::uint32_t> pages;
};

// An open .mdb file with its user tables. Opening reads the catalog and the definition and
// page map of every user table, so a file that is damaged or cut short in any of them fails
// to open. System tables (MSys...) are left out; linked tables are only listed.
class JetDatabase {
 public:
  // `codePage`, when given, is the Windows code page of Jet 3 text in place of the one the
  // header names (a file written on a system with another code page); Jet 4 text is Unicode
  // and needs none. Throws DataAccessError when that code page cannot be converted.
  explicit JetDatabase(const std::string& path,
                       std::optional<std::uint16_t> codePage = std::nullopt);
  ~JetDatabase();
  JetDatabase(const JetDatabase&) = delete;
  JetDatabase& operator=(const JetDatabase&) = delete;

  const JetFile& file() const { return *file_; }
  TextDecoder& text() { return *text_; }
  const std::vector<JetTable>& tables() const { return tables_; }

  // The user table of that name, compared without regard to ASCII case; nullptr when none.
  const JetTable* findTable(std::string_view name) const;
  // The linked table of that name, compared the same way; nullptr when none.
  const LinkedTable* findLink(std::string_view name) const;

 private:
  void readCatalog();

  std::unique_ptr<JetFile> file_;
  std::unique_ptr<TableDefinitions> definitions_;
  std::unique_ptr<TextDecoder> text_;
  std::vector<JetTable> tables_;
  std::vector<LinkedTable> links_;
};

}  // namespace leafward::jet
