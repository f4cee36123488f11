#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataaccess/errors.h"
#include "dataaccess/session.h"
#include "dataaccess/value.h"

namespace leafward::testing {

// A session that knows only the statement texts it was given, byte for byte: it answers them
// with prepared rows or failures and refuses every other text. It logs what was sent.
class FakeSession : public dataaccess::Session {
 public:
  struct Shared {
    std::vector<std::string> sent;
  };

  FakeSession() : shared_(std::make_shared<Shared>()) {}

  // One column of values; nullopt-free: use Value() for NULL.
  FakeSession& answer(std::string text, std::vector<dataaccess::Value> column) {
    dataaccess::ResultSet rows;
    rows.columnNames = {"Expr1000"};
    for (auto& value : column) rows.rows.push_back({std::move(value)});
    answers_[std::move(text)] = std::move(rows);
    return *this;
  }
  FakeSession& answerRows(std::string text, dataaccess::ResultSet rows) {
    answers_[std::move(text)] = std::move(rows);
    return *this;
  }
  FakeSession& fail(std::string text, std::string message) {
    answers_.erase(text);
    failures_[std::move(text)] = std::move(message);
    return *this;
  }
  FakeSession& catalog(std::string name) {
    catalog_ = std::move(name);
    return *this;
  }

  // The log survives the session, which the connection owns once adopted.
  std::shared_ptr<Shared> log() const { return shared_; }

  dataaccess::StatementResult execute(std::string_view text) override {
    shared_->sent.emplace_back(text);
    const std::string key(text);
    if (auto failure = failures_.find(key); failure != failures_.end()) {
      throw dataaccess::DataAccessError(failure->second);
    }
    auto found = answers_.find(key);
    if (found == answers_.end()) {
      throw dataaccess::DataAccessError("unexpected statement: " + key);
    }
    dataaccess::StatementResult result;
    result.rows = found->second;
    return result;
  }
  std::string currentCatalog() const override { return catalog_; }

 private:
  std::shared_ptr<Shared> shared_;
  std::map<std::string, dataaccess::ResultSet> answers_;
  std::map<std::string, std::string> failures_;
  std::string catalog_ = "fake";
};

// The statements of a Check, as they must be sent.
inline const std::string kFirstListAccess =
    "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]";
inline const std::string kFirstListServer =
    "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]=1";
inline const std::string kSecondListAccess =
    "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and not [bend]";
inline const std::string kSecondListServer =
    "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]=0";
inline const std::string kLengths = "SELECT  distinct len(ccode) FROM  code ";
inline const std::string kAccScheme =
    "SELECT  [cValue] FROM [AccInformation]where [cName]='cGradeLevel'";
inline const std::string kGradeScheme =
    "SELECT  [CODINGRULE] FROM [GradeDef] where [KEYWORD]='code'";

inline std::vector<dataaccess::Value> texts(std::initializer_list<const char*> values) {
  std::vector<dataaccess::Value> result;
  for (const char* value : values) {
    result.push_back(value ? dataaccess::Value::text(value) : dataaccess::Value());
  }
  return result;
}

inline std::vector<dataaccess::Value> numbers(std::initializer_list<long long> values) {
  std::vector<dataaccess::Value> result;
  for (long long value : values) result.push_back(dataaccess::Value::integer(value));
  return result;
}

// An account set whose Check finds the given lists, code lengths and stored schemes (a null
// pointer stands for a NULL value). Missing scheme rows: pass an empty list.
struct AccountSet {
  std::vector<dataaccess::Value> firstList, secondList;
  std::vector<dataaccess::Value> lengths = numbers({4, 6, 8});
  std::vector<dataaccess::Value> cGradeLevel = texts({"4,2,2,2"});
  std::vector<dataaccess::Value> gradeDef = texts({"4,2,2"});
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
