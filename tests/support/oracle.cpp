#include "support/oracle.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "platform/process.h"

namespace leafward::testing {

std::string runProgram(const std::vector<std::string>& arguments) {
  const platform::ProcessRun run = platform::runProcess(arguments);
  if (run.exitCode != 0) throw std::runtime_error(arguments[0] + " failed: " + run.err);
  return run.out;
}

std::vector<std::vector<std::string>> mdbExportRows(const std::string& path,
                                                    const std::string& table,
                                                    const std::vector<std::string>& options) {
  // Stored text may hold any control character, so the separators are longer.
  const std::string fieldEnd = "|~F~|", rowEnd = "|~R~|\n";
  std::vector<std::string> arguments{"mdb-export", "-Q",
                                     "-d",         fieldEnd,
                                     "-R",         rowEnd,
                                     "-b",         "strip",
                                     "-D",         "%Y-%m-%d %H:%M:%S",
                                     "-T",         "%Y-%m-%d %H:%M:%S"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.insert(arguments.end(), {path, table});
  const std::string text = runProgram(arguments);
  std::vector<std::vector<std::string>> rows;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(rowEnd, start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> fields;
    for (std::size_t from = start;;) {
      const std::size_t to = std::min(text.find(fieldEnd, from), end);
      fields.push_back(text.substr(from, to - from));
      if (to == end) break;
      from = to + fieldEnd.size();
    }
    rows.push_back(std::move(fields));
    start = end + rowEnd.size();
  }
  return rows;
}

ExportedTable mdbExport(const std::string& path, const std::string& table) {
  auto rows = mdbExportRows(path, table);
  ExportedTable result;
  if (rows.empty()) return result;
  result.header = std::move(rows.front());
  result.rows.assign(std::make_move_iterator(rows.begin() + 1),
                     std::make_move_iterator(rows.end()));
  return result;
}

std::size_t ExportedTable::columnIndex(const std::string& name) const {
  const auto found = std::find(header.begin(), header.end(), name);
  if (found == header.end()) throw std::runtime_error("no column " + name);
  return static_cast<std::size_t>(found - header.begin());
}

std::map<std::string, ExportedTable> mdbExportEveryTable(const std::string& path) {
  std::map<std::string, ExportedTable> tables;
  const std::string names = runProgram({"mdb-tables", "-1", path});
  for (std::size_t start = 0, end = 0; start < names.size(); start = end + 1) {
    end = std::min(names.find('\n', start), names.size());
    if (end > start) {
      const std::string table = names.substr(start, end - start);
      tables[table] = mdbExport(path, table);
    }
  }
  return tables;
}

}  // namespace leafward::testing
