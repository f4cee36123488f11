// The statements the leaf-flag audit and repair send, on tables where a wrong answer would
// give a wrong audit.
#include <gtest/gtest.h>

#include "memory_tables.h"

namespace leafward::sql::testing {
namespace {

class SqlLeafAudit : public ::testing::Test {
 protected:
  std::string list(std::string_view statement) { return clipList(Engine(tables).query(statement)); }
  MemoryTables tables;
};

// 10 has 1001 under it and 1001 has 100101; a duplicate is no sub-account; a NULL code has none
// and is listed as ""; a NULL flag is in neither list. A Yes/No true is -1, so SQL Server's
// "=1" never holds here, while "=0" works as usual.
TEST_F(SqlLeafAudit, ListsCodesWhoseFlagContradictsTheHierarchy) {
  const std::vector<CodeRow> rows = {{"10", true},    {"1001", true},        {"100101", false},
                                     {"1002", true},  {"1002", true},        {"2001", false},
                                     {"2001", false}, {std::nullopt, false}, {std::nullopt, true},
                                     {"3001", {}},    {"300101", true}};
  addCodeTable(tables, rows);
  EXPECT_EQ(list(kFirstListAccess), "10,1001,");
  EXPECT_EQ(list(kSecondListAccess), "100101,2001,2001,,");
  EXPECT_EQ(list(kFirstListServer), "");
  EXPECT_EQ(list(kSecondListServer), "100101,2001,2001,,");
}

// "1__%" takes any code of 3 characters or more that starts with 1; A1 has a101 under it
// whatever the case; "X%_%" matches X% itself; an unclosed [ is itself, so 7[ has 7[1 under it;
// "[5]1_%" matches 5123; "[9]_%" needs 9 and one more character.
TEST_F(SqlLeafAudit, CodesActAsCaseInsensitivePatterns) {
  const std::vector<CodeRow> rows = {{"1_", true},   {"1ab", true}, {"A1", true},  {"a101", true},
                                     {"X%", true},   {"7[", true},  {"7[1", true}, {"[5]1", true},
                                     {"5123", true}, {"[9]", true}, {"9", true}};
  addCodeTable(tables, rows);
  EXPECT_EQ(list(kFirstListAccess), "1_,A1,X%,7[,[5]1,");
}

// Which rows each repair changes is the random property test's; here what it stores and what
// it expects to find there.
TEST_F(SqlLeafAudit, UpdatePlansNameTheColumnTheNewValueAndTheOldOnes) {
  addCodeTable(tables, {{"10", true}, {"1001", false}, {std::nullopt, false}});
  Engine engine(tables);
  const UpdatePlan clear = engine.planUpdate(kClearNonLeaf);
  EXPECT_EQ(clear.table.name, "code");
  ASSERT_EQ(clear.assignments.size(), 1u);
  EXPECT_EQ(clear.assignments[0].column, 1u);
  EXPECT_EQ(clear.assignments[0].value, Value::yesNo(false));
  EXPECT_EQ(clear.oldValues, (std::vector<std::vector<Value>>{{Value::yesNo(true)}}));
  for (std::string_view statement : {kSetLeafAccess, kSetLeafServer}) {
    const UpdatePlan set = engine.planUpdate(statement);
    EXPECT_EQ(set.assignments[0].value, Value::yesNo(true)) << statement;
    EXPECT_EQ(set.rows, (std::vector<std::size_t>{1, 2})) << statement;
  }
}

TEST_F(SqlLeafAudit, UpdateValuesAreConvertedToTheColumnType) {
  addCodeTable(tables, {{"1", false}});
  Engine engine(tables);
  const auto valueOf = [&](const std::string& set) {
    return engine.planUpdate("update code set " + set).assignments.at(0).value;
  };
  EXPECT_EQ(valueOf("bend = 5"), Value::yesNo(true));
  EXPECT_EQ(valueOf("bend = -1"), Value::yesNo(true));
  EXPECT_EQ(valueOf("bend = false"), Value::yesNo(false));
  EXPECT_EQ(valueOf("ccode = 12"), Value::text("12"));
  EXPECT_EQ(valueOf("ccode = null"), Value());
  EXPECT_EQ(engine.planUpdate("update code set bend = 0").rows, std::vector<std::size_t>{0});
  EXPECT_THROW(valueOf("bend = null"), SqlError);
  EXPECT_THROW(valueOf("bend = 'yes'"), SqlError);
  EXPECT_THROW(valueOf("bend = len(ccode)"), SqlError);
  EXPECT_THROW(valueOf("bend = 0, [BEND] = 1"), SqlError);
}

TEST_F(SqlLeafAudit, CorrelatedNameResolvesToTheOuterRow) {
  addCodeTable(tables, {{"a", true}, {"ax", true}, {"b", true}});
  // code.ccode is the outer row because the inner table is called p; a bare name is the
  // inner one.
  EXPECT_EQ(list("SELECT ccode FROM code WHERE EXISTS (SELECT * FROM code p WHERE "
                 "p.ccode = code.ccode + 'x')"),
            "a,");
  EXPECT_EQ(list("SELECT ccode FROM code WHERE EXISTS (SELECT * FROM code p WHERE "
                 "ccode = code.ccode + 'x')"),
            "a,");
  // Without an alias, code.ccode inside is the inner table again.
  EXPECT_EQ(list("SELECT ccode FROM code WHERE EXISTS (SELECT * FROM code WHERE "
                 "code.ccode = code.ccode + 'x')"),
            "");
}

}  // namespace
}  // namespace leafward::sql::testing
