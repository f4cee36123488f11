#include "support/stand_in_account_sets.h"

#include <set>
#include <stdexcept>

#include "dataaccess/odbc/utf16.h"
#include "support/statement_texts.h"

namespace leafward::testing {
namespace {

// Characters as SQL Server counts them in an nvarchar are UTF-16 units.
char16_t folded(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// SQL Server's LIKE under a case-insensitive collation: `%`, `_`, `[set]`, `[^set]`, ranges.
bool like(std::u16string_view text, std::u16string_view pattern) {
  if (pattern.empty()) return text.empty();
  if (pattern[0] == u'%') {
    return like(text, pattern.substr(1)) || (!text.empty() && like(text.substr(1), pattern));
  }
  if (text.empty()) return false;
  const char16_t c = folded(text[0]);
  const std::size_t close = pattern[0] == u'[' ? pattern.find(u']', 2) : pattern.npos;
  if (close == pattern.npos) {
    return (pattern[0] == u'_' || folded(pattern[0]) == c) &&
           like(text.substr(1), pattern.substr(1));
  }
  const bool negated = pattern[1] == u'^' && close > 2;
  bool inSet = false;
  for (std::size_t at = negated ? 2 : 1; at < close; ++at) {
    const bool range = at + 2 < close && pattern[at + 1] == u'-';
    inSet = inSet || (folded(pattern[at]) <= c && c <= folded(pattern[range ? at + 2 : at]));
    if (range) at += 2;
  }
  return inSet != negated && like(text.substr(1), pattern.substr(close + 1));
}

bool sqlLike(std::string_view text, std::string_view pattern) {
  return like(odbc::utf16FromUtf8(text), odbc::utf16FromUtf8(pattern));
}

// A code has sub-accounts when another code is like it followed by "_%".
bool hasLongerCode(const CodeRow& row, const std::vector<CodeRow>& rows) {
  if (!row.ccode) return false;
  for (const CodeRow& other : rows) {
    if (other.ccode && sqlLike(*other.ccode, *row.ccode + "_%")) return true;
  }
  return false;
}

Reply invalidObject(std::string_view table) {
  return {.errors = {{208, 16, "Invalid object name '" + std::string(table) + "'."}}};
}

// What SQL Server says of a column the table lacks: these code tables have only ccode and bend.
Reply invalidColumn(std::string_view column) {
  return {.errors = {{207, 16, "Invalid column name '" + std::string(column) + "'."}}};
}

Reply codes(const std::vector<CodeRow>& rows, bool withLongerCode, bool bend) {
  Reply reply{.column = "ccode"};
  for (const CodeRow& row : rows) {
    if (hasLongerCode(row, rows) != withLongerCode || row.bend != bend) continue;
    reply.cells.push_back(row.ccode ? Reply::Cell(*row.ccode) : Reply::Cell());
  }
  return reply;
}

// LEN() counts characters without the trailing spaces; NULL sorts first.
Reply distinctLengths(const std::vector<CodeRow>& rows) {
  bool anyNull = false;
  std::set<std::int32_t> lengths;
  for (const CodeRow& row : rows) {
    anyNull = anyNull || !row.ccode;
    if (!row.ccode) continue;
    std::u16string text = odbc::utf16FromUtf8(*row.ccode);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    lengths.insert(static_cast<std::int32_t>(text.size()));
  }
  Reply reply{.integers = true, .cells = std::vector<Reply::Cell>(anyNull ? 1 : 0)};
  reply.cells.insert(reply.cells.end(), lengths.begin(), lengths.end());
  return reply;
}

Reply scheme(const StoredScheme& stored, std::string_view table, std::string column) {
  if (stored.state == StoredScheme::NoTable) return invalidObject(table);
  Reply reply{.column = std::move(column)};
  if (stored.state == StoredScheme::Value) reply.cells.emplace_back(stored.value);
  if (stored.state == StoredScheme::Null) reply.cells.emplace_back();
  return reply;
}

// Sets `bend` to `to` where the code's sub-accounts and its flag say so.
Reply repair(std::vector<CodeRow>& rows, bool withLongerCode, bool from, bool to) {
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (hasLongerCode(rows[i], rows) == withLongerCode && rows[i].bend == from) chosen.push_back(i);
  }
  for (std::size_t i : chosen) rows[i].bend = to;
  return {.updated = chosen.size()};
}

// Codes compared code point by code point, as a binary collation does, trailing spaces apart.
bool sameCode(std::string a, std::string b) {
  while (!a.empty() && a.back() == ' ') a.pop_back();
  while (!b.empty() && b.back() == ' ') b.pop_back();
  return a == b;
}

// The flag of every row of one code (compared code point by code point), a NULL flag as NULL.
Reply flagsOf(const std::vector<CodeRow>& rows, const std::optional<std::string>& code) {
  Reply reply{.column = "bend", .integers = true};
  for (const CodeRow& row : rows) {
    const bool named = code ? row.ccode && sameCode(*row.ccode, *code) : !row.ccode;
    if (!named) continue;
    if (row.bend) {
      reply.cells.emplace_back(std::int32_t{*row.bend ? 1 : 0});
    } else {
      reply.cells.emplace_back();
    }
  }
  return reply;
}

CodeRow row(const char* code, int bend) {
  return {code ? std::optional<std::string>(code) : std::nullopt, bend != 0};
}

}  // namespace

ServerAccountSet fixtureAccountSet(std::string_view name) {
  using S = StoredScheme;
  if (name == "worked-example") {
    return {{row("1001", 1), row("100101", 1), row("1002", 1), row("100201", 0), row("100202", 1),
             row("10020201", 1)},
            {S::Value, "4,2,2"},
            {S::Value, "4,2,2"}};
  }
  if (name == "consistent") {
    return {{row("1001", 0), row("100101", 1), row("100102", 1), row("1002", 0), row("100201", 0),
             row("10020101", 1), row("10020102", 1), row("100202", 1), row("2001", 1)},
            {S::Value, "4,2,2,2"},
            {S::Value, "4222"}};
  }
  if (name == "scheme-mismatch") {
    return {{row("1001", 0), row("100101", 0), row("10010101", 1)}, {S::Value, "4,3,2"}, {}};
  }
  if (name == "no-scheme-tables") return {{row("1001", 1)}, {S::NoTable, {}}, {S::NoTable, {}}};
  if (name == "empty-code") return {{}, {S::Value, "4,2,2"}, {S::Value, "422"}};
  if (name == "odd-codes") {
    return {{row(nullptr, 0), row("1_", 1), row("100", 1), row("10", 1), row("1001", 1),
             row("1001", 1), row("20%", 1), row("2001", 1), row("ab", 0), row("AB12", 1)},
            {S::Value, "2,1,1"},
            {S::Null, {}}};
  }
  throw std::invalid_argument("no fixture account set " + std::string(name));
}

std::optional<Reply> answerStatement(std::string_view text, ServerAccountSet* accounts,
                                     const std::vector<std::string>& databaseNames) {
  if (text == kAccountSetList) {
    Reply reply{.column = "name"};
    for (const std::string& name : databaseNames) {
      if (sqlLike(name, "pelkor_[0-9][0-9][0-9]_[12][0-9][0-9][0-9]")) reply.cells.push_back(name);
    }
    return reply;
  }
  const bool details = text == kDetails || text == kDetailsWithName || text == kDetailsWithLevel ||
                       text == kDetailsOfCodes;
  const bool knownToAccountSets = text == kFirstListServer || text == kSecondListServer ||
                                  text == kLengths || text == kAccScheme || text == kGradeScheme ||
                                  text == kClearNonLeaf || text == kSetLeafServer ||
                                  text == kFlagsOfNullCode || details;
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
  if (text == kDetailsOfCodes) {
    Reply reply{.column = "ccode"};
    for (const CodeRow& row : rows)
      reply.cells.push_back(row.ccode ? Reply::Cell(*row.ccode) : Reply::Cell());
    return reply;
  }
  if (details) return invalidColumn(text == kDetailsWithLevel ? "igrade" : "ccode_name");
  if (text == kAccScheme) return scheme(accounts->cGradeLevel, "AccInformation", "cValue");
  if (text == kGradeScheme) return scheme(accounts->gradeDefCode, "GradeDef", "CODINGRULE");
  if (text == kClearNonLeaf) return repair(rows, true, true, false);
  if (text == kFlagsOfNullCode) return flagsOf(rows, std::nullopt);
  return repair(rows, false, false, true);
}

std::optional<Reply> answerParameterised(std::string_view text,
                                         const std::vector<Reply::Cell>& values,
                                         ServerAccountSet* accounts) {
  if (text == kFlagsOfCode) {
    const auto* code = values.size() == 1 ? std::get_if<std::string>(&values[0]) : nullptr;
    if (!code) return std::nullopt;
    if (!accounts) return invalidObject("code");
    return flagsOf(accounts->code, *code);
  }
  const bool byCode = text == kSetFlagByCode;
  if (!byCode && text != kSetFlagOfNullCode) return std::nullopt;
  if (!accounts) return invalidObject("code");
  const auto* to = std::get_if<std::int32_t>(&values.at(0));
  const auto* code = byCode ? std::get_if<std::string>(&values.at(1)) : nullptr;
  const auto* from = std::get_if<std::int32_t>(&values.at(byCode ? 2 : 1));
  if (!to || !from || (byCode && !code) || values.size() != (byCode ? 3u : 2u)) {
    return std::nullopt;
  }
  std::uint64_t changed = 0;
  for (CodeRow& row : accounts->code) {
    const bool named = byCode ? row.ccode && sameCode(*row.ccode, *code) : !row.ccode;
    if (!named || row.bend != (*from != 0)) continue;
    row.bend = *to != 0;
    ++changed;
  }
  return Reply{.updated = changed};
}

}  // namespace leafward::testing
