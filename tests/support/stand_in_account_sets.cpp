#include "support/stand_in_account_sets.h"

#include <set>
#include <stdexcept>

#include "dataaccess/odbc/utf16.h"
#include "support/statement_texts.h"

namespace leafward::testing {
namespace {

// Characters as SQL Server counts them in an nvarchar: UTF-16 units.
using Text = std::u16string;

char16_t folded(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// One element of a LIKE pattern.
struct PatternPart {
  enum class Kind { Any, One, Set, Literal };
  Kind kind = Kind::Literal;
  char16_t literal = 0;
  bool negated = false;
  std::vector<std::pair<char16_t, char16_t>> ranges;

  bool matches(char16_t c) const {
    if (kind == Kind::One) return true;
    if (kind == Kind::Literal) return folded(c) == folded(literal);
    bool inSet = false;
    for (const auto& [low, high] : ranges) {
      inSet = inSet || (folded(c) >= folded(low) && folded(c) <= folded(high));
    }
    return inSet != negated;
  }
};

std::vector<PatternPart> parsePattern(const Text& pattern) {
  std::vector<PatternPart> parts;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    PatternPart& part = parts.emplace_back();
    if (c == u'%') {
      part.kind = PatternPart::Kind::Any;
    } else if (c == u'_') {
      part.kind = PatternPart::Kind::One;
    } else if (c == u'[' && pattern.find(u']', i + 2) != Text::npos) {
      const std::size_t close = pattern.find(u']', i + 2);
      part.kind = PatternPart::Kind::Set;
      std::size_t at = i + 1;
      if (pattern[at] == u'^' && at + 1 < close) {
        part.negated = true;
        ++at;
      }
      for (; at < close; ++at) {
        if (at + 2 < close && pattern[at + 1] == u'-') {
          part.ranges.emplace_back(pattern[at], pattern[at + 2]);
          at += 2;
        } else {
          part.ranges.emplace_back(pattern[at], pattern[at]);
        }
      }
      i = close;
    } else {
      part.literal = c;
    }
  }
  return parts;
}

bool like(const Text& text, const Text& pattern) {
  const std::vector<PatternPart> parts = parsePattern(pattern);
  // matched[j]: the text read so far matches the first j parts.
  std::vector<bool> matched(parts.size() + 1, false);
  matched[0] = true;
  for (std::size_t j = 0; j < parts.size() && parts[j].kind == PatternPart::Kind::Any; ++j) {
    matched[j + 1] = true;
  }
  for (char16_t c : text) {
    std::vector<bool> next(parts.size() + 1, false);
    for (std::size_t j = 0; j < parts.size(); ++j) {
      if (parts[j].kind == PatternPart::Kind::Any) {
        next[j + 1] = next[j] || matched[j + 1];  // empty, or one more character
      } else {
        next[j + 1] = matched[j] && parts[j].matches(c);
      }
    }
    matched = std::move(next);
  }
  return matched.back();
}

// A code has sub-accounts when another code is like it followed by "_%".
bool hasLongerCode(const CodeRow& row, const std::vector<CodeRow>& rows) {
  if (!row.ccode) return false;
  const Text pattern = odbc::utf16FromUtf8(*row.ccode + "_%");
  for (const CodeRow& other : rows) {
    if (other.ccode && like(odbc::utf16FromUtf8(*other.ccode), pattern)) return true;
  }
  return false;
}

// LEN(): characters without the trailing spaces.
std::int32_t length(const std::string& code) {
  Text text = odbc::utf16FromUtf8(code);
  while (!text.empty() && text.back() == u' ') text.pop_back();
  return static_cast<std::int32_t>(text.size());
}

StatementAnswer invalidObject(std::string_view table) {
  StatementAnswer answer;
  answer.error =
      StatementAnswer::Error{208, 16, "Invalid object name '" + std::string(table) + "'."};
  return answer;
}

StatementAnswer query(std::string name, bool integer = false) {
  StatementAnswer answer;
  answer.columnName = std::move(name);
  answer.integerColumn = integer;
  return answer;
}

tds::Cell cellOf(const std::optional<std::string>& text) {
  return text ? tds::Cell(*text) : tds::Cell();
}

StatementAnswer codes(const std::vector<CodeRow>& rows, bool withLongerCode, bool bend) {
  StatementAnswer answer = query("ccode");
  for (const CodeRow& row : rows) {
    if (hasLongerCode(row, rows) == withLongerCode && row.bend == bend) {
      answer.cells.push_back(cellOf(row.ccode));
    }
  }
  return answer;
}

StatementAnswer distinctLengths(const std::vector<CodeRow>& rows) {
  bool anyNull = false;
  std::set<std::int32_t> lengths;
  for (const CodeRow& row : rows) {
    if (row.ccode) {
      lengths.insert(length(*row.ccode));
    } else {
      anyNull = true;
    }
  }
  StatementAnswer answer = query("", true);
  if (anyNull) answer.cells.emplace_back();  // NULL sorts first
  for (std::int32_t value : lengths) answer.cells.emplace_back(value);
  return answer;
}

StatementAnswer scheme(const StoredScheme& stored, std::string_view table, std::string column) {
  if (stored.state == StoredScheme::State::NoTable) return invalidObject(table);
  StatementAnswer answer = query(std::move(column));
  if (stored.state == StoredScheme::State::Value) answer.cells.emplace_back(stored.value);
  if (stored.state == StoredScheme::State::Null) answer.cells.emplace_back();
  return answer;
}

// Sets `bend` to `to` where the code's sub-accounts and its flag say so.
StatementAnswer repair(std::vector<CodeRow>& rows, bool withLongerCode, bool from, bool to) {
  std::vector<bool> chosen;
  for (const CodeRow& row : rows) {
    chosen.push_back(hasLongerCode(row, rows) == withLongerCode && row.bend.has_value() &&
                     *row.bend == from);
  }
  StatementAnswer answer;
  answer.changed = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!chosen[i]) continue;
    rows[i].bend = to;
    ++*answer.changed;
  }
  return answer;
}

CodeRow row(const char* code, int bend) {
  return {code ? std::optional<std::string>(code) : std::nullopt, bend != 0};
}

}  // namespace

bool sqlLike(std::string_view text, std::string_view pattern) {
  return like(odbc::utf16FromUtf8(text), odbc::utf16FromUtf8(pattern));
}

ServerAccountSet fixtureAccountSet(std::string_view name) {
  using S = StoredScheme;
  if (name == "worked-example") {
    return {{row("1001", 1), row("100101", 1), row("1002", 1), row("100201", 0), row("100202", 1),
             row("10020201", 1)},
            S::of("4,2,2"),
            S::of("4,2,2")};
  }
  if (name == "consistent") {
    return {{row("1001", 0), row("100101", 1), row("100102", 1), row("1002", 0), row("100201", 0),
             row("10020101", 1), row("10020102", 1), row("100202", 1), row("2001", 1)},
            S::of("4,2,2,2"),
            S::of("4222")};
  }
  if (name == "scheme-mismatch") {
    return {{row("1001", 0), row("100101", 0), row("10010101", 1)}, S::of("4,3,2"), S::noRow()};
  }
  if (name == "no-scheme-tables") return {{row("1001", 1)}, S::noTable(), S::noTable()};
  if (name == "empty-code") return {{}, S::of("4,2,2"), S::of("422")};
  if (name == "odd-codes") {
    return {{row(nullptr, 0), row("1_", 1), row("100", 1), row("10", 1), row("1001", 1),
             row("1001", 1), row("20%", 1), row("2001", 1), row("ab", 0), row("AB12", 1)},
            S::of("2,1,1"),
            S::null()};
  }
  throw std::invalid_argument("no fixture account set " + std::string(name));
}

std::optional<StatementAnswer> answerStatement(std::string_view text, ServerAccountSet* accounts,
                                               const std::vector<std::string>& databaseNames) {
  if (text == kAccountSetList) {
    StatementAnswer answer = query("name");
    for (const std::string& name : databaseNames) {
      if (sqlLike(name, "pelkor_[0-9][0-9][0-9]_[12][0-9][0-9][0-9]")) {
        answer.cells.emplace_back(name);
      }
    }
    return answer;
  }
  const bool knownToAccountSets = text == kFirstListServer || text == kSecondListServer ||
                                  text == kLengths || text == kAccScheme || text == kGradeScheme ||
                                  text == kClearNonLeaf || text == kSetLeafServer;
  if (!knownToAccountSets) return std::nullopt;
  if (!accounts) {
    if (text == kAccScheme) return invalidObject("AccInformation");
    if (text == kGradeScheme) return invalidObject("GradeDef");
    return invalidObject("code");
  }
  std::vector<CodeRow>& rows = accounts->code;
  if (text == kFirstListServer) return codes(rows, true, true);
  if (text == kSecondListServer) return codes(rows, false, false);
  if (text == kLengths) return distinctLengths(rows);
  if (text == kAccScheme) return scheme(accounts->cGradeLevel, "AccInformation", "cValue");
  if (text == kGradeScheme) return scheme(accounts->gradeDefCode, "GradeDef", "CODINGRULE");
  if (text == kClearNonLeaf) return repair(rows, true, true, false);
  return repair(rows, false, false, true);
}

}  // namespace leafward::testing
