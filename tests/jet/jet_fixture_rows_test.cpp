#include <gtest/gtest.h>

#include "jet_test_support.h"
#include "support/fixture_names.h"

namespace leafward::jet {
namespace {

// Each small account set's code table, in table order, as its notes list it: "ccode:bend"
// with 1 for Yes.
TEST(JetFixtureRowsTest, CodeTablesHoldTheListedRowsInTableOrder) {
  for (const auto& [file, listing] : std::vector<std::pair<std::string, std::string>>{
           {"consistent.mdb",
            "1001:0 100101:1 100102:1 1002:0 100201:0 10020101:1 10020102:1 100202:1 2001:1"},
           {leafward::testing::kWorkedExample,
            "1001:1 100101:1 1002:1 100201:0 100202:1 10020201:1"},
           {"scheme-mismatch.mdb", "1001:0 100101:0 10010101:1"},
           {"no-scheme-tables.mdb", "1001:1"},
           {"empty-code.mdb", ""},
           {"odd-codes.mdb", "NULL:0 1_:1 100:1 10:1 1001:1 1001:1 20%:1 2001:1 ab:0 AB12:1"}}) {
    SCOPED_TRACE(file);
    testing::OpenDatabase open(testing::fixture("account-sets/" + file));
    JetTableSource source(open.database);
    const auto info = source.describe("CODE");
    ASSERT_TRUE(info);
    std::size_t ccode = 99, bend = 99;
    for (std::size_t i = 0; i < info->columns.size(); ++i) {
      if (info->columns[i].name == "ccode") ccode = i;
      if (info->columns[i].name == "bend") bend = i;
    }
    ASSERT_EQ(info->columns.at(ccode).type, sql::ColumnType::Text);
    ASSERT_EQ(info->columns.at(bend).type, sql::ColumnType::YesNo);
    const sql::TableData data = source.read(*info, {ccode, bend});
    std::string read;
    for (std::size_t r = 0; r < data.rowCount; ++r) {
      const auto& code = data.columns[0][r];
      read += (r ? " " : "") + (code.isNull() ? "NULL" : code.asText()) + ":" +
              (data.columns[1][r].asYesNo() ? "1" : "0");
    }
    EXPECT_EQ(read, listing);
  }
}

}  // namespace
}  // namespace leafward::jet
