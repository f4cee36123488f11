#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/session.h"
#include "support/statement_texts.h"

namespace leafward::testing {

using dataaccess::Value;
using Column = std::vector<Value>;

// A session that knows only the statement texts it was given, byte for byte: it answers them
// with one column of rows or a count of rows changed, or fails them, and refuses every other
// text. `sent` logs them all.
class FakeSession : public dataaccess::Session {
 public:
  std::shared_ptr<std::vector<std::string>> sent = std::make_shared<std::vector<std::string>>();
  std::map<std::string, dataaccess::ResultSet> answers;
  std::map<std::string, std::string> failures;
  std::map<std::string, std::exception_ptr> errors;  // thrown as they are
  std::map<std::string, std::int64_t> updates;       // rows an update statement changes
  std::map<std::string, std::string> notices;        // said once the statement has run
  std::map<std::string, std::size_t> failAfterRows;  // a query that fails midway, row by row
  std::vector<std::string> unsaid;
  std::string catalog = "fake";

  FakeSession& answer(const std::string& text, Column column) {
    auto& rows = answers[text] = {{"Expr1000"}, {}};
    for (auto& value : column) rows.rows.push_back({std::move(value)});
    return *this;
  }
  dataaccess::StatementResult execute(std::string_view text) override {
    const std::string& key = sent->emplace_back(text);
    if (notices.count(key)) unsaid.push_back(notices[key]);
    if (failures.count(key)) throw dataaccess::DataAccessError(failures[key]);
    if (errors.count(key)) std::rethrow_exception(errors[key]);
    if (updates.count(key)) return {std::nullopt, updates[key]};
    if (!answers.count(key)) throw dataaccess::DataAccessError("unexpected statement: " + key);
    return {answers[key], 0};
  }
  void forEachRow(std::string_view text, const dataaccess::RowVisitor& visit) override {
    const auto failing = failAfterRows.find(std::string(text));
    if (failing == failAfterRows.end()) return Session::forEachRow(text, visit);
    const dataaccess::StatementResult result = execute(text);
    for (std::size_t row = 0; row < failing->second; ++row) visit(result.rows->rows.at(row));
    throw dataaccess::DataAccessError("connection lost");
  }
  std::string currentCatalog() const override { return catalog; }
  std::vector<std::string> takeNotices() override { return std::exchange(unsaid, {}); }
};

inline Column texts(std::initializer_list<const char*> values) {
  Column column;
  for (const char* value : values) column.push_back(value ? Value::text(value) : Value());
  return column;
}

inline Column numbers(std::initializer_list<long long> values) {
  Column column;
  for (long long value : values) column.push_back(Value::integer(value));
  return column;
}

// An account set on which a Check finds these lists, code lengths and stored schemes (an empty
// scheme column: no scheme row). By default consistent, with codes of 4, 6 and 8 characters.
struct AccountSet {
  Column firstList, secondList;
  Column lengths = numbers({4, 6, 8});
  Column cGradeLevel = texts({"4,2,2,2"});
  Column gradeDef = texts({"4,2,2"});
  bool server = false;

  std::unique_ptr<FakeSession> session() const {
    auto fake = std::make_unique<FakeSession>();
    fake->answer(server ? kFirstListServer : kFirstListAccess, firstList)
        .answer(server ? kSecondListServer : kSecondListAccess, secondList)
        .answer(kLengths, lengths)
        .answer(kAccScheme, cGradeLevel)
        .answer(kGradeScheme, gradeDef);
    return fake;
  }
};

}  // namespace leafward::testing
