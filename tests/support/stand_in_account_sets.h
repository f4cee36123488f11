#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

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
  enum State { Value, Null, NoRow, NoTable } state = NoRow;
  std::string value;
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

// What the server answers a request: SQL Server's errors (class 11 and above fail it), or the
// rows an UPDATE changed, or else a result of one column of texts, whole numbers or exact
// numbers.
struct Reply {
  struct Error {
    std::int32_t number = 50000;
    std::uint8_t severity = 16;
    std::string text{};
  };
  using Cell = std::variant<std::monostate, std::string, std::int32_t>;  // NULL, text, number

  std::vector<Error> errors{};
  std::optional<std::uint64_t> updated{};
  // A column of exact numbers, when set: decimal(precision, scale), or money when precision
  // is 0. Each cell is then the number's text with `scale` (money: 4) digits after the point.
  struct Exact {
    std::uint8_t precision = 0;
    std::uint8_t scale = 4;
  };

  std::string column{};
  bool integers = false;
  std::optional<Exact> exact{};
  std::vector<Cell> cells{};
};

// The reply to the statements Leafward sends, exactly as it spells them, against `accounts`
// (null in a database without account-set tables) and the server's database names; nothing
// for any other text.
std::optional<Reply> answerStatement(std::string_view text, ServerAccountSet* accounts,
                                     const std::vector<std::string>& databaseNames);

// The reply to the parameterised UPDATEs of an undo (their text as FreeTDS sends it, and the
// values of @P1, @P2...); nothing for any other text or values that do not fit it.
std::optional<Reply> answerParameterised(std::string_view text,
                                         const std::vector<Reply::Cell>& values,
                                         ServerAccountSet* accounts);

}  // namespace leafward::testing
