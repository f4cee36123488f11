#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dataaccess/jet/jet_file.h"
#include "dataaccess/jet/table_layout.h"

namespace leafward::jet {

// Reads table definitions with libmdb. libmdb trusts what it reads, so every definition is
// first walked here: its pages must exist and be definition pages, and its counts, column
// entries, names and page-map pointers must fit. Only then does libmdb parse it.
class TableDefinitions {
 public:
  // Opens `file` (already checked) with libmdb.
  explicit TableDefinitions(const JetFile& file);
  ~TableDefinitions();
  TableDefinitions(const TableDefinitions&) = delete;
  TableDefinitions& operator=(const TableDefinitions&) = delete;

  // The definition on page `page` of the table called `name`. Throws DataAccessError when it
  // is malformed or lies past the end of the file.
  TableLayout read(std::uint32_t page, const std::string& name);

 private:
  void check(std::uint32_t page, const std::string& name);
  void checkRowPointer(std::uint32_t pointer, const std::string& what);

  struct Library;
  const JetFile& file_;
  std::unique_ptr<Library> library_;
};

}  // namespace leafward::jet
