// Jet's meaning of expressions, conditions and result shapes.
#include <gtest/gtest.h>

#include "dataaccess/sql/like_pattern.h"
#include "memory_tables.h"

namespace leafward::sql::testing {
namespace {

class SqlSemantics : public ::testing::Test {
 protected:
  SqlSemantics() { tables.add({"one", {{"x", ColumnType::Integer}}}, {{Value::integer(1)}}); }

  // The value of an expression on a one-row table.
  Value eval(const std::string& expression) {
    return Engine(tables).query("SELECT " + expression + " FROM one").rows.at(0).at(0);
  }
  dataaccess::ResultSet query(std::string_view text) { return Engine(tables).query(text); }

  MemoryTables tables;
};

const Value kTrue = Value::yesNo(true);
const Value kFalse = Value::yesNo(false);
const Value kNull;

// NULL follows three-valued logic, text compares without regard to case, + joins texts and adds
// numbers (converting numeric text); what does not fit together is refused.
TEST_F(SqlSemantics, ExpressionsMeanWhatTheyMeanInJet) {
  const auto shown = [&](const std::string& expression) -> std::string {
    try {
      const Value value = eval(expression);
      switch (value.kind()) {
        case Value::Kind::Null:
          return "NULL";
        case Value::Kind::YesNo:
          return value.asYesNo() ? "true" : "false";
        case Value::Kind::Integer:
          return "int " + value.toText();
        case Value::Kind::Floating:
          return "double " + value.toText();
        default:
          return "'" + value.toText() + "'";
      }
    } catch (const SqlError&) {
      return "refused";
    }
  };
  const std::vector<std::pair<const char*, const char*>> nulls = {
      {"NULL AND false", "false"}, {"NULL AND true", "NULL"}, {"NULL OR true", "true"},
      {"NULL OR false", "NULL"},   {"NOT NULL", "NULL"},      {"NULL = NULL", "NULL"},
      {"NULL <> 0", "NULL"},       {"NULL IS NULL", "true"},  {"x IS NOT NULL", "true"},
      {"NULL LIKE '%'", "NULL"},   {"NULL + 'a'", "NULL"},    {"len(NULL)", "NULL"}};
  const std::vector<std::pair<const char*, const char*>> texts = {
      {"'abc' = 'ABC'", "true"},       {"'a' < 'B'", "true"},      {"'Straße' = 'STRAßE'", "true"},
      {"'ÉTÉ' = 'été'", "true"},       {"'ДА' LIKE 'да'", "true"}, {"'科目' = '科目 '", "false"},
      {"'abc' NOT LIKE 'a%'", "false"}};
  const std::vector<std::pair<const char*, const char*>> sums = {
      {"'a' + 'b'", "'ab'"},        {"1 + 2", "int 3"},        {"1 + 2.5", "double 3.5"},
      {"'1' + 2", "int 3"},         {"true + 0", "int -1"},    {"-x - 1", "int -2"},
      {"'10' = 10", "true"},        {"len('科目1')", "int 3"}, {"len(123)", "int 3"},
      {"'it''s'", "'it's'"},        {"'abc' + 1", "refused"},  {"'abc' = 1", "refused"},
      {"'abc' AND true", "refused"}};
  for (const auto& cases : {nulls, texts, sums}) {
    for (const auto& [expression, expected] : cases) {
      EXPECT_EQ(shown(expression), expected) << expression;
    }
  }
}

// (The audit's own conditions are the leaf-audit statement tests'.)
TEST_F(SqlSemantics, ConditionsKeepOnlyRowsThatAreTrue) {
  addCodeTable(tables, {{"t", true}, {"f", false}, {"n", std::nullopt}});
  EXPECT_EQ(clipList(query("SELECT ccode FROM code WHERE bend")), "t,");
  EXPECT_EQ(clipList(query("SELECT ccode FROM code WHERE not bend")), "f,");
  EXPECT_EQ(clipList(query("SELECT ccode FROM code WHERE bend = -1 or bend = 1")), "t,");
  EXPECT_EQ(clipList(query("SELECT ccode FROM code WHERE bend = true")), "t,");
  EXPECT_EQ(clipList(query("SELECT ccode FROM code WHERE not (bend = 0 or bend <> 0)")), "");
  EXPECT_EQ(clipList(query("SELECT ccode FROM code WHERE len(ccode) - 1;")), "");
}

TEST_F(SqlSemantics, DistinctDeliversSortedRowsNullFirst) {
  const std::vector<CodeRow> rows = {{"1001", true},   {"10", true}, {std::nullopt, true},
                                     {"100101", true}, {"B", true},  {"a", true},
                                     {"A", true},      {"10", true}};
  addCodeTable(tables, rows);
  const auto lengths = query("SELECT  distinct len(ccode) FROM  code ");
  EXPECT_EQ(clipList(lengths), ",1,2,4,6,");
  // Texts equal but for case are one row, the first one met.
  EXPECT_EQ(clipList(query("SELECT DISTINCT ccode FROM code")), ",10,1001,100101,a,B,");
  // Without DISTINCT rows come in table order.
  EXPECT_EQ(clipList(query("SELECT len(ccode) FROM code")), "4,2,,6,1,1,1,2,");
}

TEST_F(SqlSemantics, StarSelectsEveryColumnInOrder) {
  addCodeTable(tables, {{"1", true}});
  EXPECT_EQ(query("select * from [CODE]").rows,
            (std::vector<std::vector<Value>>{{Value::text("1"), kTrue}}));
}

TEST_F(SqlSemantics, UncorrelatedAndNestedSubqueries) {
  addCodeTable(tables, {{"1", true}, {"12", false}});
  EXPECT_EQ(clipList(query("SELECT x FROM one WHERE EXISTS (SELECT * FROM code WHERE "
                           "ccode = '12')")),
            "1,");
  EXPECT_EQ(clipList(query("SELECT ccode FROM code c WHERE EXISTS (SELECT * FROM one WHERE "
                           "EXISTS (SELECT * FROM code p WHERE p.ccode LIKE c.ccode + '_' AND "
                           "p.bend = x - 1))")),
            "1,");
}

// Binary data and GUIDs: IS NULL, selection, DISTINCT and equality of the same kind work;
// everything else is refused. Single and Currency columns keep their kind.
TEST_F(SqlSemantics, BinaryAndGuidValuesAreTestedOnlyForWhatIsSafe) {
  dataaccess::Guid guid;
  guid.bytes[0] = 0x6A;
  const std::vector<Value> stored = {Value::binary({1, 2}), Value::guid(guid),
                                     Value::single(43.32f), Value::currency({12345678})};
  tables.add({"stored",
              {{"b", ColumnType::Binary},
               {"g", ColumnType::Guid},
               {"s", ColumnType::Floating},
               {"m", ColumnType::Floating}}},
             {stored, {Value(), Value(), Value(), Value()}, stored});
  EXPECT_EQ(query("SELECT b FROM stored WHERE g IS NULL").rows.size(), 1u);
  EXPECT_EQ(query("SELECT b FROM stored WHERE b IS NOT NULL").rows.size(), 2u);
  const auto distinct = query("SELECT DISTINCT b, g, s, m FROM stored").rows;
  ASSERT_EQ(distinct.size(), 2u);
  EXPECT_TRUE(distinct[0][0].isNull());
  EXPECT_EQ(distinct[1], stored);
  EXPECT_EQ(distinct[1][2].toText(), "43.32");
  EXPECT_EQ(distinct[1][3].toText(), "1234.5678");
  EXPECT_EQ(query("SELECT b = b, g <> g FROM stored").rows.at(0),
            (std::vector<Value>{kTrue, kFalse}));
  for (const char* refused : {"b < b", "g = b", "g = '{0000006A-0000-0000-0000-000000000000}'",
                              "b + 1", "len(g)", "b LIKE '%'", "g"}) {
    SCOPED_TRACE(refused);
    try {
      query(std::string("SELECT b FROM stored WHERE ") + refused);
      ADD_FAILURE() << "not refused";
    } catch (const SqlError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("Data type mismatch: ", 0), 0u) << error.what();
    }
  }
}

TEST_F(SqlSemantics, BadStatementsNameThePositionOrTheName) {
  addCodeTable(tables, {{"1", true}});
  const auto messageOf = [&](std::string_view text) -> std::string {
    try {
      query(text);
    } catch (const SqlError& error) {
      return error.what();
    }
    return "no error";
  };
  EXPECT_EQ(messageOf("SELECT ccode FROM nope"), "Unknown table 'nope' at position 19");
  EXPECT_EQ(messageOf("SELECT cc FROM code"), "Unknown column 'cc' at position 8");
  EXPECT_EQ(messageOf("SELECT z.ccode FROM code"),
            "Unknown table or alias 'z' in 'z.ccode' at position 8");
  EXPECT_EQ(messageOf("SELECT FROM code"),
            "Syntax error at position 8: expected an expression, found 'FROM'");
  EXPECT_EQ(messageOf("SELECT ccode FROM code WHERE ccode = 'x"),
            "Syntax error at position 38: the text in quotes is not closed");
  EXPECT_EQ(messageOf("SELECT '科目' FROM code WHERE ?"),
            "Syntax error at position 29: unexpected character '?'");
  EXPECT_EQ(messageOf("SELECT ccode FROM code extra words"),
            "Syntax error at position 30: expected the end of the statement, found 'words'");
  EXPECT_THROW(query(kClearNonLeaf), SqlError);
  EXPECT_THROW(Engine(tables).planUpdate("SELECT ccode FROM code"), SqlError);
  EXPECT_EQ(Engine::classify("  select 1"), StatementKind::Select);
  EXPECT_EQ(Engine::classify(kSetLeafAccess), StatementKind::Update);
  EXPECT_THROW(Engine::classify("DELETE FROM code"), SqlError);
  EXPECT_THROW(Engine::classify(""), SqlError);
}

TEST_F(SqlSemantics, DeeplyNestedTextFailsCleanly) {
  const std::string parens = "SELECT " + std::string(100000, '(') + "1 FROM one";
  EXPECT_THROW(query(parens), SqlError);
  std::string sum = "SELECT 1";
  for (int i = 0; i < 100000; ++i) sum += "+1";
  EXPECT_THROW(query(sum + " FROM one"), SqlError);
  std::string nots = "SELECT x FROM one WHERE ";
  for (int i = 0; i < 100000; ++i) nots += "NOT ";
  EXPECT_THROW(query(nots + "x"), SqlError);
}

// Jet's LIKE, case by case: "_" is one character however many bytes (a stray lead byte is one
// too), "#" an ordinary character, a backwards range holds nothing, "[]" matches nothing at
// all and an unclosed "[" is itself. The random property test compares the engine's range
// search with a plain reference on many more.
TEST(SqlLikePattern, MatchesAsJetDoes) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  };
  LikePattern pattern;
  const std::vector<Case> wildcards = {
      {"1001_%", "1001", false}, {"1001_%", "1001x", true}, {"%", "", true},
      {"_", "", false},          {"_", "科", true},         {"__", "科", false},
      {"a%b%c", "aXbYc", true},  {"a%b%c", "aXbY", false},  {"%a%a", "aaa", true},
      {"#", "1", false},         {"#", "#", true}};
  const std::vector<Case> sets = {
      {"[0-9]", "5", true}, {"[!0-9]", "5", false}, {"[!0-9]", "", false},  {"[A-C]", "b", true},
      {"[-a]", "-", true},  {"[a-]", "-", true},    {"[z-a]", "m", false},  {"[]1", "1", true},
      {"[!]", "x", true},   {"[%]", "a", false},    {"[_]1", "a1", false},  {"[科目]", "目", true},
      {"a[b", "a[B", true}, {"a[b", "ab", false},   {"a[%", "a[xyz", true}, {"a[_", "a[", false}};
  const std::vector<Case> characters = {{"ÉTÉ", "été", true},   {"Ω_", "ωx", true},
                                        {"ＡＢ", "ａｂ", true}, {"\xff_", "\xff\141", true},
                                        {"_", "\xc3", true},    {"__", "\xc3\xa9", false}};
  for (const auto& cases : {wildcards, sets, characters}) {
    for (const Case& c : cases) {
      pattern.compile(c.pattern);
      EXPECT_EQ(pattern.matches(c.text), c.matches) << c.pattern << " LIKE " << c.text;
    }
  }
}

}  // namespace
}  // namespace leafward::sql::testing
