#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dataaccess/ascii.h"
#include "dataaccess/sql/engine.h"
#include "support/statement_texts.h"

namespace leafward::sql::testing {

using dataaccess::Value;

// Tables held in memory.
class MemoryTables : public TableSource {
 public:
  void add(TableInfo info, std::vector<std::vector<Value>> rows) {
    tables_.push_back({std::move(info), std::move(rows)});
  }

  std::optional<TableInfo> describe(std::string_view name) override {
    for (const auto& table : tables_) {
      if (dataaccess::equalsIgnoringCase(table.info.name, name)) return table.info;
    }
    return std::nullopt;
  }

  TableData read(const TableInfo& info, const std::vector<std::size_t>& columns) override {
    for (const auto& table : tables_) {
      if (table.info.name != info.name) continue;
      TableData data;
      data.rowCount = table.rows.size();
      for (std::size_t column : columns) {
        auto values = std::make_shared<ColumnValues>();
        for (const auto& row : table.rows) values->append(row.at(column));
        data.columns.push_back(std::move(values));
      }
      return data;
    }
    throw dataaccess::DataAccessError("no table " + info.name);
  }

 private:
  struct Table {
    TableInfo info;
    std::vector<std::vector<Value>> rows;
  };
  std::vector<Table> tables_;
};

// code(ccode TEXT, bend YESNO); a missing code or flag is NULL.
struct CodeRow {
  std::optional<std::string> code;
  std::optional<bool> leaf;
};

inline void addCodeTable(MemoryTables& tables, const std::vector<CodeRow>& rows) {
  std::vector<std::vector<Value>> values;
  for (const auto& row : rows) {
    values.push_back({row.code ? Value::text(*row.code) : Value(),
                      row.leaf ? Value::yesNo(*row.leaf) : Value()});
  }
  tables.add({"code", {{"ccode", ColumnType::Text}, {"bend", ColumnType::YesNo}}},
             std::move(values));
}

// The first column as the report shows a code list: every value and a ",", NULL as nothing.
inline std::string clipList(const dataaccess::ResultSet& result) {
  std::string text;
  for (const auto& row : result.rows) text += row.at(0).toText() + ",";
  return text;
}

// The statements the audit sends, exactly as spelled.
using leafward::testing::kClearNonLeaf;
using leafward::testing::kFirstListAccess;
using leafward::testing::kFirstListServer;
using leafward::testing::kSecondListAccess;
using leafward::testing::kSecondListServer;
using leafward::testing::kSetLeafAccess;
using leafward::testing::kSetLeafServer;

}  // namespace leafward::sql::testing
