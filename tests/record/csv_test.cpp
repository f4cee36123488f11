// The record's CSV: what it writes byte for byte, and what strict RFC 4180 reading refuses.
#include "record/csv.h"

#include <gtest/gtest.h>

namespace leafward::record {
namespace {

TEST(CsvTest, FieldsAreQuotedOnlyWhereTheyMustBeAndReadBackWhole) {
  const std::vector<std::string> fields = {"1001",   "10,\"1",    "",   "a\r\nb", " lead",
                                           "trail ", "科目,代码", "\"", "x\ny",   "plain"};
  const std::string line = csvLine(fields);
  EXPECT_EQ(line,
            "1001,\"10,\"\"1\",,\"a\r\nb\",\" lead\",\"trail \",\"科目,代码\",\"\"\"\",\"x\ny\","
            "plain\r\n");
  const CsvText read = readCsv(line + csvLine({"next"}));
  ASSERT_EQ(read.problem, "");
  EXPECT_FALSE(read.cutShort);
  ASSERT_EQ(read.records.size(), 2u);
  EXPECT_EQ(read.records[0].fields, fields);
  EXPECT_EQ(read.records[0].line, 1u);
  // The two line ends quoted inside the first record count as lines of their own.
  EXPECT_EQ(read.records[1].line, 4u);
  EXPECT_EQ(read.records[1].fields, std::vector<std::string>{"next"});
}

TEST(CsvTest, StrictReadingStopsAtTheFirstProblemWithItsLine) {
  struct Case {
    const char* text;
    const char* problem;  // empty: cut short
    std::size_t line;
    std::size_t recordsBefore;
  };
  const Case cases[] = {
      {"a,b\r\nc\"d,e\r\n", "a quote stands inside a field that does not begin with one", 2, 1},
      {"a\r\n\"b\"c\r\n", "something other than a comma or a line end follows a closing quote", 2,
       1},
      {"a,b\nc\r\n", "the line ends with LF alone, not CR LF", 1, 0},
      {"a\r\nb\rc\r\n", "a CR stands without LF", 2, 1},
      {"a\r\nb,c", "", 0, 1},
      {"a\r\n\"b\r\n", "", 0, 1},
      {"a\r\nb\r", "", 0, 1},
  };
  for (const Case& c : cases) {
    const CsvText read = readCsv(c.text);
    EXPECT_EQ(read.problem, c.problem) << c.text;
    EXPECT_EQ(read.cutShort, *c.problem == '\0') << c.text;
    if (*c.problem) {
      EXPECT_EQ(read.problemLine, c.line) << c.text;
    }
    EXPECT_EQ(read.records.size(), c.recordsBefore) << c.text;
  }
  EXPECT_TRUE(readCsv("").records.empty());
  EXPECT_FALSE(readCsv("").cutShort);
}

}  // namespace
}  // namespace leafward::record
