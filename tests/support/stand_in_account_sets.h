#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/tds_wire.h"

// The account sets a test SQL Server holds in memory, and the statements it answers from them.
namespace leafward::testing {

// One row of the `code` table; an empty optional is NULL.
struct CodeRow {
  std::optional<std::string> ccode;
  std::optional<bool> bend;
  bool operator==(const CodeRow&) const = default;
};

// A coding scheme as an account set stores it: a value, NULL, no row, or no table at all.
struct StoredScheme {
  enum class State { Value, Null, NoRow, NoTable };
  State state = State::NoRow;
  std::string value;

  static StoredScheme of(std::string text) { return {State::Value, std::move(text)}; }
  static StoredScheme null() { return {State::Null, {}}; }
  static StoredScheme noRow() { return {State::NoRow, {}}; }
  static StoredScheme noTable() { return {State::NoTable, {}}; }
};

// An account-set database: its `code` rows in table order, `AccInformation`'s cGradeLevel and
// `GradeDef`'s rule for 'code'.
struct ServerAccountSet {
  std::vector<CodeRow> code;
  StoredScheme cGradeLevel;
  StoredScheme gradeDefCode;
};

// The rows of the small fixture account set `name` ("worked-example", "consistent",
// "scheme-mismatch", "no-scheme-tables", "empty-code", "odd-codes"), as tests/data/README.md
// lists them.
ServerAccountSet fixtureAccountSet(std::string_view name);

// SQL Server's LIKE under a case-insensitive collation: `%`, `_`, `[set]`, `[^set]`, ranges.
bool sqlLike(std::string_view text, std::string_view pattern);

// A server's reply to one statement: an error, one column of rows, or a number of rows changed.
struct StatementAnswer {
  struct Error {
    std::int32_t number = 0;
    std::uint8_t severity = 16;
    std::string text;
  };
  std::optional<Error> error;
  std::optional<std::string> columnName;  // set for a query
  bool integerColumn = false;
  std::vector<tds::Cell> cells;
  std::optional<std::int64_t> changed;  // set for an UPDATE
};

// Answers the statements Leafward sends, exactly as it spells them, against `accounts` (null in
// a database without account-set tables) and the server's database names; nothing for any
// other text.
std::optional<StatementAnswer> answerStatement(std::string_view text, ServerAccountSet* accounts,
                                               const std::vector<std::string>& databaseNames);

}  // namespace leafward::testing
