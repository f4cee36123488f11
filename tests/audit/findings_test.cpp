// What a Check finds, as values: the report made from them, and the details of each wrong flag
// (name, level, the codes above and under it) by the hierarchy rule of the statements.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "audit/check.h"
#include "audit/code_details.h"
#include "dataaccess/sql/like_pattern.h"
#include "dataaccess/sql/text_fold.h"
#include "support/fake_session.h"
#include "support/files.h"
#include "support/oracle.h"

namespace leafward::audit {
namespace {

using testing::Value;
using Neighbours = CodeNeighbours::Neighbours;

// The neighbours of each watched code, worked out the slow way: every offered code tried
// against every pattern.
std::vector<Neighbours> slowNeighbours(const std::vector<std::string>& watched,
                                       const std::vector<std::string>& offered) {
  const auto under = [](const std::string& code, const std::string& above) {
    sql::LikePattern like;
    like.compile(above + "_%");
    return like.matches(code);
  };
  std::vector<Neighbours> found;
  for (const std::string& code : watched) {
    Neighbours these;
    for (const std::string& other : offered) {
      if (under(other, code)) {
        ++these.subCodes;
        if (!these.firstSubCode || other < *these.firstSubCode) these.firstSubCode = other;
      }
      if (other == code || !under(code, other)) continue;
      const std::size_t length = sql::characterCount(other);
      const std::size_t best = these.parent ? sql::characterCount(*these.parent) : 0;
      if (!these.parent || length > best || (length == best && other < *these.parent)) {
        these.parent = other;
      }
    }
    found.push_back(these);
  }
  return found;
}

std::vector<Neighbours> fastNeighbours(const std::vector<std::string>& watched,
                                       const std::vector<std::string>& offered) {
  CodeNeighbours neighbours(watched);
  for (const std::string& code : offered) neighbours.offer(code);
  return neighbours.neighbours();
}

// Wildcards inside codes act as the statements' LIKE makes them act; case does not count.
TEST(CodeNeighboursTest, TheHierarchyRuleOfTheStatements) {
  const std::vector<std::string> offered = {"1_", "100",  "10",  "1001", "1001", "20%", "2001",
                                            "ab", "AB12", "[a]", "a",    "a9",   "Ä1",  "ä1x"};
  const std::vector<std::string> watched = {"1_", "100", "10", "20%", "ab", "[a]", "", "ä1"};
  const std::vector<Neighbours> found = fastNeighbours(watched, offered);
  // "1_" is the pattern "1__%": every code of three or more characters beginning with 1.
  EXPECT_EQ(found[0], (Neighbours{3, "100", std::nullopt}));
  // "10" and "1_" are both above "100": of two as long, the lesser.
  EXPECT_EQ(found[1], (Neighbours{2, "1001", "10"}));
  EXPECT_EQ(found[2], (Neighbours{3, "100", std::nullopt}));
  // "20%_%" matches "20%" itself: counted under itself, yet no parent of itself.
  EXPECT_EQ(found[3], (Neighbours{2, "20%", std::nullopt}));
  // "[a]" is the set of 'a' and 'A': longer than "a", so it is the parent of "ab".
  EXPECT_EQ(found[4], (Neighbours{1, "AB12", "[a]"}));
  EXPECT_EQ(found[5], (Neighbours{3, "AB12", std::nullopt}));
  // The empty code is above every other: "" + "_%".
  EXPECT_EQ(found[6], (Neighbours{14, "10", std::nullopt}));
  EXPECT_EQ(found[7], (Neighbours{1, "ä1x", std::nullopt}));
  EXPECT_EQ(found, slowNeighbours(watched, offered));
  EXPECT_EQ(fastNeighbours({"10"}, {"", "10"})[0].parent, "");
  // Of the codes that fold alike, the least is the parent.
  EXPECT_EQ(fastNeighbours({"ab1"}, {"ab", "AB", "Ab"})[0].parent, "AB");
}

// The tree walk against the definition on random codes full of wildcards and capitals, in any
// order and in code order.
TEST(CodeNeighboursTest, AgreesWithTheDefinitionOnRandomCodes) {
  std::mt19937 random(20240611);
  const std::string alphabet = "01aA_%[]!";
  const auto code = [&] {
    std::string made(random() % 6, ' ');
    for (char& c : made) c = alphabet[random() % alphabet.size()];
    return made;
  };
  for (int round = 0; round < 40; ++round) {
    std::vector<std::string> offered(60), watched;
    std::generate(offered.begin(), offered.end(), code);
    for (const std::string& each : offered) {
      if (random() % 3 == 0) watched.push_back(each);
    }
    watched.push_back(code());  // one that is not in the table
    const std::vector<Neighbours> expected = slowNeighbours(watched, offered);
    ASSERT_EQ(fastNeighbours(watched, offered), expected) << round;
    // In code order, as most tables hold them, each code's walk starts where the last one's
    // parted from it.
    std::sort(offered.begin(), offered.end());
    ASSERT_EQ(fastNeighbours(watched, offered), expected) << round;
  }
}

std::unique_ptr<testing::FakeSession> withDetails(const testing::AccountSet& set,
                                                  const std::string& query,
                                                  dataaccess::ResultSet rows) {
  auto session = set.session();
  session->answers[query] = std::move(rows);
  return session;
}

CheckOutcome check(std::unique_ptr<testing::FakeSession> session, TextWorkbench& bench,
                   Details details = Details::Read) {
  connection::SharedConnection shared;
  shared.startUp();
  shared.cnData.adopt(std::move(session));
  return runCheck(shared, bench, details);
}

// The details are read after the Check's own statements, which are sent as ever, with the
// first query the table has the columns for; the report does not change.
TEST(CheckDetailsTest, ReadAfterTheStatementsFromTheColumnsTheTableHas) {
  testing::AccountSet set;
  set.firstList = testing::texts({"1002", "1002"});
  set.secondList = testing::texts({nullptr, "100201"});
  const auto yes = Value::yesNo(true), no = Value::yesNo(false);
  dataaccess::ResultSet rows{{"ccode", "bend", "igrade"},
                             {{Value::text("1002"), yes, Value::integer(1)},
                              {Value::text("100201"), no, Value::integer(2)},
                              {Value(), no, Value()},
                              {Value::text("1002"), no, Value::integer(7)},
                              {Value::text("1002"), yes, Value::integer(9)},
                              {Value::text("100299"), yes, Value::integer(2)}}};
  auto session = withDetails(set, testing::kDetailsWithLevel, rows);
  const auto sent = session->sent;
  TextWorkbench bench;
  const CheckOutcome outcome = check(std::move(session), bench);
  const std::vector<std::string> expected = {testing::kFirstListAccess, testing::kSecondListAccess,
                                             testing::kLengths,         testing::kAccScheme,
                                             testing::kGradeScheme,     testing::kDetails,
                                             testing::kDetailsWithName, testing::kDetailsWithLevel};
  EXPECT_EQ(*sent, expected);
  EXPECT_EQ(bench.text, "如下非末级科目标志有误：1002,1002\r\n如下末级科目标志有误：,100201");

  // Each listed row gets the values of the row of its code and flag, in table order.
  std::vector<CodeDetails> details;
  for (const WrongFlag& each : outcome.findings.wrongFlags) {
    ASSERT_NE(each.details, nullptr);
    details.push_back(*each.details);
    EXPECT_EQ(each.details->name, std::nullopt);  // no such column
  }
  ASSERT_EQ(details.size(), 4u);
  EXPECT_EQ(details[0].level, 1);
  EXPECT_EQ(details[1].level, 9);
  EXPECT_EQ(details[3].level, 2);
  EXPECT_EQ(details[2].level, std::nullopt);
  EXPECT_EQ(details[0].subCodes, 2);
  EXPECT_EQ(details[0].firstSubCode, "100201");
  EXPECT_EQ(details[3].parent, "1002");
  EXPECT_EQ(details[3].subCodes, 0);
  EXPECT_EQ(details[2].parent, std::nullopt);  // NULL: above and under nothing
}

// Details that cannot be read are unknown: neither the report nor the verdict changes, and the
// check's own statement and recordset stay as they were.
TEST(CheckDetailsTest, UnreadableDetailsAreUnknownAndChangeNothing) {
  testing::AccountSet set;
  set.firstList = testing::texts({"1001"});
  for (const bool skipped : {false, true}) {
    TextWorkbench bench;
    connection::SharedConnection shared;
    shared.startUp();
    shared.cnData.adopt(set.session());
    const CheckOutcome outcome = runCheck(shared, bench, skipped ? Details::Skip : Details::Read);
    EXPECT_EQ(bench.text, "如下非末级科目标志有误：1001");
    EXPECT_EQ(outcome.end, CheckEnd::Finished);
    EXPECT_TRUE(outcome.findings.errorsFound());
    EXPECT_EQ(outcome.findings.wrongFlags.at(0).details, nullptr);
    EXPECT_EQ(shared.strSQL, testing::kGradeScheme);
    EXPECT_EQ(shared.rsData->state(), dataaccess::kAdStateClosed);
  }
  // A table read midway, then lost: no other query is tried, nothing is known.
  auto session = withDetails(set, testing::kDetailsOfCodes,
                             {{"ccode"}, {{Value::text("1001")}, {Value::text("100101")}}});
  const Value name = Value::text("库存现金"), level = Value::integer(1);
  session->answers[testing::kDetails] = {
      {"ccode", "bend", "ccode_name", "igrade"},
      {{Value::text("1001"), Value::yesNo(true), name, level},
       {Value::text("100101"), Value::yesNo(true), name, level}}};
  session->failAfterRows[testing::kDetails] = 1;
  const auto sent = session->sent;
  TextWorkbench bench;
  EXPECT_EQ(check(std::move(session), bench).findings.wrongFlags.at(0).details, nullptr);
  EXPECT_EQ(sent->back(), testing::kDetails);
  EXPECT_EQ(bench.text, "如下非末级科目标志有误：1001");
}

// The verdict of the values: a scheme that is missing or does not fit is an error found, one
// that is NULL is not.
TEST(CheckDetailsTest, ErrorsFoundComeFromTheValues) {
  testing::AccountSet set;
  TextWorkbench clean;
  EXPECT_FALSE(check(set.session(), clean).findings.errorsFound());
  set.cGradeLevel = {Value()};
  TextWorkbench nullScheme;
  const Findings found = check(set.session(), nullScheme).findings;
  EXPECT_FALSE(found.errorsFound());
  EXPECT_EQ(found.scheme->accInformation.state, StoredScheme::State::Null);
  set.gradeDef = {};
  TextWorkbench missing;
  EXPECT_TRUE(check(set.session(), missing).findings.errorsFound());
}

// On every account set of the test data: the report made from the values is the report the
// Check always gave, and each wrong flag's details are what the table holds, worked out here
// from mdb-export's rows (codes of digits only: a code lies under its own prefixes).
class FixtureFindingsTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FixtureFindingsTest, ReportAndDetailsAgreeWithTheTable) {
  testing::FixtureCopy copy(GetParam());
  connection::SharedConnection shared;
  shared.startUp();
  shared.openAccess(copy.path());
  TextWorkbench bench;
  const CheckOutcome outcome = runCheck(shared, bench);
  EXPECT_EQ(bench.text, testing::expectedBoxReport(GetParam()));

  LEAFWARD_NEEDS_MDBTOOLS();
  const testing::ExportedTable table = testing::mdbExport(copy.path(), "code");
  const auto column = [&](const char* name) -> std::optional<std::size_t> {
    const auto at = std::find(table.header.begin(), table.header.end(), name);
    if (at == table.header.end()) return std::nullopt;
    return static_cast<std::size_t>(at - table.header.begin());
  };
  const std::size_t code = *column("ccode"), bend = *column("bend");
  const auto name = column("ccode_name"), level = column("igrade");
  std::vector<const std::vector<std::string>*> unused;
  for (const auto& row : table.rows) unused.push_back(&row);
  for (const WrongFlag& flagged : outcome.findings.wrongFlags) {
    SCOPED_TRACE(flagged.code.value_or("NULL"));
    ASSERT_NE(flagged.details, nullptr);
    const CodeDetails& wrong = *flagged.details;
    const auto row = std::find_if(unused.begin(), unused.end(), [&](const auto* each) {
      return (*each)[code] == flagged.code.value_or("") && ((*each)[bend] == "1") == flagged.flag();
    });
    ASSERT_NE(row, unused.end());
    EXPECT_EQ(wrong.name, name ? std::optional((**row)[*name]) : std::nullopt);
    EXPECT_EQ(wrong.level, level ? std::optional(std::stoll((**row)[*level])) : std::nullopt);
    unused.erase(row);
    if (!flagged.code) continue;
    const std::string& own = *flagged.code;
    std::int64_t under = 0;
    std::optional<std::string> first, parent;
    for (const auto& other : table.rows) {
      const std::string& text = other[code];
      if (text.size() > own.size() && text.starts_with(own)) {
        ++under;
        if (!first || text < *first) first = text;
      }
      if (own.size() > text.size() && own.starts_with(text) &&
          (!parent || text.size() > parent->size())) {
        parent = text;
      }
    }
    EXPECT_EQ(wrong.subCodes, under);
    EXPECT_EQ(wrong.firstSubCode, first);
    EXPECT_EQ(wrong.parent, parent);
  }
}

INSTANTIATE_TEST_SUITE_P(AccountSets, FixtureFindingsTest,
                         ::testing::Values("worked-example.mdb", "realistic-5k.mdb",
                                           "deleted-2k.mdb", "overflow-2k.mdb",
                                           "scheme-mismatch.mdb", "consistent.mdb",
                                           "empty-code.mdb"),
                         [](const auto& info) { return testing::testName(info.param); });

}  // namespace
}  // namespace leafward::audit
