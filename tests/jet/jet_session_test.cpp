// The check and repair statements over real files are run by the command-line tests; these
// are the session's own refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using namespace dataaccess;
using ::testing::HasSubstr;

std::string accessConnection(const std::string& file) {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source='" + file + "';";
}

TEST(JetSessionTest, StatementsOtherThanSettingOneYesNoColumnChangeNothing) {
  testing::TempDir dir;
  const std::string path = dir.copyFixture("account-sets/realistic-5k.mdb");
  Connection connection;
  connection.open(accessConnection(path));
  const auto before = testing::readBytes(path);
  const auto failureOf = [&](const std::string& sql) -> std::string {
    try {
      connection.execute(sql);
    } catch (const DataAccessError& error) {
      return error.what();
    }
    return "(ran)";
  };
  EXPECT_THAT(failureOf("update code set ccode = 'x' where ccode = '1001'"),
              HasSubstr("not supported"));
  EXPECT_THAT(failureOf("update code set bend = 0, ccode = 'x'"), HasSubstr("not supported"));
  EXPECT_THAT(failureOf("update nothere set x = 1"), HasSubstr("nothere"));
  EXPECT_EQ(testing::readBytes(path), before);
}

// An Access 97 file whose header names code page 1252 while its text is GBK.
TEST(JetSessionTest, ACodePageInTheConnectionStringOverridesTheHeaders) {
  const std::string gbk = testing::fixture("jet-samples/charsetGBK-V1997.mdb");
  const auto field1 = [&](const std::string& extra) {
    Connection connection;
    connection.open(accessConnection(gbk) + extra);
    return connection.execute("SELECT field1 FROM table1")->field(0).asText();
  };
  EXPECT_EQ(field1("Code Page=936;"), "GBK编码");
  EXPECT_EQ(field1(""), "GBK\u00B1\u00E0\u00C2\u00EB");  // as Windows-1252, as the header says
  EXPECT_EQ(field1("code page = ;"), field1(""));
  for (const char* bad :
       {"Code Page=GBK;", "Code Page=0;", "Code Page=70000;", "Code Page=12345;"}) {
    Connection connection;
    EXPECT_THROW(connection.open(accessConnection(gbk) + bad), DataAccessError) << bad;
  }
  // Jet 4 text is Unicode: the code page changes nothing.
  Connection jet4;
  jet4.open(accessConnection(testing::fixture("account-sets/realistic-5k.mdb")) + "Code Page=936;");
  EXPECT_EQ(jet4.execute("SELECT ccode_name FROM code WHERE ccode = '1001'")->field(0).asText(),
            "科目1001");
}

}  // namespace
}  // namespace leafward::jet
