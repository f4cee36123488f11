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

TEST_F(SqlLeafAudit, ListsCodesWhoseFlagContradictsTheHierarchy) {
  addCodeTable(tables, {{"10", true},       // has 1001 under it
                        {"1001", true},     // has 100101 under it
                        {"100101", false},  // has nothing under it
                        {"1002", true},     // a duplicate does not count as a sub-account
                        {"1002", true},
                        {"2001", false},
                        {"2001", false},
                        {std::nullopt, false},  // no code: no sub-accounts, listed as ""
                        {std::nullopt, true},
                        {"3001", std::nullopt},  // no flag: in neither list
                        {"300101", true}});
  EXPECT_EQ(list(kFirstListAccess), "10,1001,");
  EXPECT_EQ(list(kSecondListAccess), "100101,2001,2001,,");
  // A Yes/No true is -1, so comparing with 1 never holds; comparing with 0 works as usual.
  EXPECT_EQ(list(kFirstListServer), "");
  EXPECT_EQ(list(kSecondListServer), "100101,2001,2001,,");
}

TEST_F(SqlLeafAudit, CodesActAsCaseInsensitivePatterns) {
  addCodeTable(tables, {{"1_", true},  // "1__%": any code of 3+ characters starting with 1
                        {"1ab", true},
                        {"A1", true},  // has a101 under it, whatever the case
                        {"a101", true},
                        {"X%", true},  // "X%_%" matches X% itself
                        {"7[", true},  // an unclosed [ is itself: has 7[1 under it
                        {"7[1", true},
                        {"[5]1", true},  // "[5]1_%" matches 5123
                        {"5123", true},
                        {"[9]", true},  // "[9]_%" needs 9 and one more: 9 alone is not enough
                        {"9", true}});
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

TEST_F(SqlLeafAudit, ReadsTheTableOnceAndOnlyTheColumnsUsed) {
  addCodeTable(tables, {{"1", true}, {"11", true}});
  list(kFirstListAccess);
  ASSERT_EQ(tables.reads.size(), 1u);
  EXPECT_EQ(tables.reads[0].columns, (std::vector<std::size_t>{0, 1}));
  tables.reads.clear();
  list("SELECT  distinct len(ccode) FROM  code ");
  ASSERT_EQ(tables.reads.size(), 1u);
  EXPECT_EQ(tables.reads[0].columns, std::vector<std::size_t>{0});
}

}  // namespace
}  // namespace leafward::sql::testing
