#pragma once

#include <string>
#include <vector>

#include "dataaccess/jet/jet_database.h"
#include "dataaccess/jet/jet_table_source.h"
#include "dataaccess/value.h"
#include "support/jet_files.h"

namespace leafward::jet::testing {

// Every column of every row of a table, row by row.
using Rows = std::vector<std::vector<dataaccess::Value>>;
Rows readAll(JetTableSource& source, const std::string& table);

// Every column of every user table of the database at `path` as text, one line per row.
std::string dumpEveryTable(const std::string& path);

// A file's raw bytes, read without the reader under test.
struct RawFile {
  explicit RawFile(const std::string& path);
  std::uint16_t entry(RowLocation at) const;
  bool isPointer(RowLocation at) const;
  // The page and slot where the bytes of the row at `at` are: elsewhere for a moved row.
  std::pair<std::uint32_t, std::uint16_t> storedAt(RowLocation at) const;
  // Whether Jet 4 null-mask bit `bit` of the row at `at` (followed when moved) is set.
  bool maskBit(RowLocation at, unsigned bit) const;

  std::vector<std::uint8_t> bytes;
  std::size_t pageSize;
  std::size_t rowCountOffset;
};

}  // namespace leafward::jet::testing
