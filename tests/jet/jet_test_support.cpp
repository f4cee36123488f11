#include "jet_test_support.h"

#include <numeric>
#include <stdexcept>

namespace leafward::testing {

std::vector<std::string> everyTestDatabase() {
  auto files = fixturesIn("jet-samples");
  for (const auto& file : fixturesIn("account-sets")) files.push_back(file);
  return files;
}

Rows readAll(jet::JetTableSource& source, const std::string& table) {
  const auto info = source.describe(table);
  if (!info) throw std::runtime_error("no table " + table);
  std::vector<std::size_t> columns(info->columns.size());
  std::iota(columns.begin(), columns.end(), 0);
  const sql::TableData data = source.read(*info, columns);
  Rows rows(data.rowCount);
  for (std::size_t r = 0; r < data.rowCount; ++r) {
    for (const auto& column : data.columns) rows[r].push_back(column[r]);
  }
  return rows;
}

std::string dumpEveryTable(const std::string& path) {
  OpenDatabase open(path);
  jet::JetTableSource source(open.database);
  std::string dump;
  for (const auto& table : open.database.tables()) {
    dump += "[" + table.definition.name + "]\n";
    for (const auto& row : readAll(source, table.definition.name)) {
      for (const auto& value : row) dump += (value.isNull() ? "NULL" : value.toText()) + "|";
      dump += "\n";
    }
  }
  return dump;
}

std::pair<std::uint32_t, std::uint16_t> storedAt(const jet::Pager& pager, jet::RowLocation at) {
  const std::vector<std::uint8_t> page = pager.readPage(at.page);
  const jet::RowTable rows(page, pager.format());
  if (jet::RowTable::kindOf(rows.entry(at.slot)) != jet::SlotKind::Pointer) {
    return {at.page, at.slot};
  }
  const auto target = rows.pointer(rows.extent(at.slot, rows.count().value()).value()).value();
  return {target.page, target.slot};
}

}  // namespace leafward::testing
