#include <gtest/gtest.h>

#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using dataaccess::Value;
using testing::fixture;

// "1001:0 100101:1 ..." as in the fixtures' notes: ccode, then bend (1 = Yes).
std::vector<std::pair<Value, Value>> codeRows(const std::string& listing) {
  std::vector<std::pair<Value, Value>> rows;
  std::size_t start = 0;
  while (start < listing.size()) {
    std::size_t end = listing.find(' ', start);
    if (end == std::string::npos) end = listing.size();
    const std::string item = listing.substr(start, end - start);
    const std::size_t colon = item.rfind(':');
    const std::string code = item.substr(0, colon);
    rows.emplace_back(code == "NULL" ? Value() : Value::text(code),
                      Value::yesNo(item.substr(colon + 1) == "1"));
    start = end + 1;
  }
  return rows;
}

std::vector<std::pair<Value, Value>> readCodes(const std::string& file) {
  JetDatabase database(fixture("account-sets/" + file));
  JetTableSource source(database);
  const auto info = source.describe("CODE");
  EXPECT_TRUE(info);
  if (!info) return {};
  std::size_t ccode = 99, bend = 99;
  for (std::size_t i = 0; i < info->columns.size(); ++i) {
    if (info->columns[i].name == "ccode") ccode = i;
    if (info->columns[i].name == "bend") bend = i;
  }
  EXPECT_EQ(info->columns[ccode].type, sql::ColumnType::Text);
  EXPECT_EQ(info->columns[bend].type, sql::ColumnType::YesNo);
  const sql::TableData data = source.read(*info, {bend, ccode});
  std::vector<std::pair<Value, Value>> rows;
  for (std::size_t r = 0; r < data.rowCount; ++r) {
    rows.emplace_back(data.columns[1][r], data.columns[0][r]);
  }
  return rows;
}

TEST(JetFixtureRowsTest, CodeTablesHoldTheListedRowsInTableOrder) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"consistent.mdb",
       "1001:0 100101:1 100102:1 1002:0 100201:0 10020101:1 10020102:1 100202:1 2001:1"},
      {"spec-example.mdb", "1001:1 100101:1 1002:1 100201:0 100202:1 10020201:1"},
      {"scheme-mismatch.mdb", "1001:0 100101:0 10010101:1"},
      {"no-scheme-tables.mdb", "1001:1"},
      {"empty-code.mdb", ""},
      {"odd-codes.mdb", "NULL:0 1_:1 100:1 10:1 1001:1 1001:1 20%:1 2001:1 ab:0 AB12:1"},
  };
  for (const auto& [file, listing] : expected) {
    SCOPED_TRACE(file);
    EXPECT_EQ(readCodes(file), codeRows(listing));
  }
}

}  // namespace
}  // namespace leafward::jet
