// Checks the table-definition decoder against mdb-schema from Debian's mdbtools: the same
// columns in the same order with the same types and sizes, and the same indexes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "jet_test_support.h"

namespace leafward::jet {
namespace {

// How mdb-schema names a column's type.
std::string typeName(const ColumnDefinition& column, const JetFormat& format) {
  const std::map<JetType, std::string> names = {
      {JetType::Boolean, "Boolean"},    {JetType::Byte, "Byte"},
      {JetType::Integer, "Integer"},    {JetType::LongInteger, "Long Integer"},
      {JetType::Money, "Currency"},     {JetType::Single, "Single"},
      {JetType::Double, "Double"},      {JetType::DateTime, "DateTime"},
      {JetType::Ole, "OLE (255)"},      {JetType::Memo, "Memo/Hyperlink (255)"},
      {JetType::Guid, "Replication ID"}};
  const auto type = static_cast<JetType>(column.type);
  if (type == JetType::Binary) return "Binary (" + std::to_string(column.length) + ")";
  if (type == JetType::Text) {
    return "Text (" + std::to_string(format.isJet3() ? column.length : column.length / 2) + ")";
  }
  if (type == JetType::Numeric) {
    return "Numeric (" + std::to_string(column.precision) + ", " + std::to_string(column.scale) +
           ")";
  }
  const auto name = names.find(type);
  return name != names.end() ? name->second : "type " + std::to_string(column.type);
}

std::vector<std::string> linesOf(const std::string& text, const std::string& start) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(start)) lines.push_back(line);
  }
  return lines;
}

class JetSchemaCompareTest : public ::testing::TestWithParam<std::string> {};

TEST_P(JetSchemaCompareTest, DefinitionsReadAsMdbSchemaReadsThem) {
  const std::string& file = GetParam();
  const testing::OpenDatabase open(file);
  std::string ours, ourIndexes;
  for (const auto& table : open.database.tables()) {
    const TableDefinition& definition = table.definition;
    ours += "CREATE TABLE [" + definition.name + "]\n";
    for (const auto& column : definition.columns) {
      ours += "\t[" + column.name + "]\t\t\t" + typeName(column, open.pager.format()) + "\n";
    }
    for (const auto& index : definition.logicalIndexes) {
      if (index.foreignKey) continue;
      const RealIndex& keys = definition.realIndexes.at(index.realIndex);
      std::string names;
      for (const auto number : keys.columnNumbers) {
        const auto column = std::find_if(definition.columns.begin(), definition.columns.end(),
                                         [&](const auto& c) { return c.number == number; });
        names += (names.empty() ? "`" : ", `") + column->name + "`";
      }
      ourIndexes +=
          "ALTER TABLE `" + definition.name + "` ADD " +
          (index.primaryKey ? std::string("PRIMARY KEY")
                            : (keys.unique ? "UNIQUE INDEX `" : "INDEX `") + index.name + "`") +
          " (" + names + ");\n";
    }
  }

  std::string theirs;
  for (std::string line : linesOf(testing::runProgram({"mdb-schema", file}), "")) {
    if (line.ends_with(", ")) line.resize(line.size() - 2);
    if (line.ends_with(" NOT NULL")) line.resize(line.size() - 9);
    if (line.starts_with("CREATE TABLE") || line.starts_with("\t[")) theirs += line + "\n";
  }
  EXPECT_EQ(ours, theirs);

  auto theirIndexes =
      linesOf(testing::runProgram({"mdb-schema", "--indexes", "--no-relations", file, "mysql"}),
              "ALTER TABLE");
  auto ourIndexLines = linesOf(ourIndexes, "ALTER TABLE");
  // mdb-schema finds an index's columns by position rather than by number, and so lists none
  // when a column before them was deleted; the decoder's columns are checked above.
  for (auto& line : ourIndexLines) {
    const std::string unnamed = line.substr(0, line.find(" (")) + " ();";
    if (std::find(theirIndexes.begin(), theirIndexes.end(), unnamed) != theirIndexes.end()) {
      line = unnamed;
    }
  }
  std::sort(theirIndexes.begin(), theirIndexes.end());
  std::sort(ourIndexLines.begin(), ourIndexLines.end());
  EXPECT_EQ(ourIndexLines, theirIndexes);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JetSchemaCompareTest,
                         ::testing::ValuesIn(testing::everyTestDatabase()),
                         [](const auto& info) { return testing::testName(info.param); });

}  // namespace
}  // namespace leafward::jet
