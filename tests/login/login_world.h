#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "connection/server_connection_string.h"
#include "dataaccess/connection.h"
#include "dataaccess/connection_string.h"
#include "dataaccess/errors.h"
#include "dataaccess/recordset.h"
#include "ui/login/frm_login.h"
#include "ui/login/login_prompts.h"

namespace leafward::testing {

// A SQL Server as the login dialog sees it: `sa` with one password, a list of databases.
class FakeServerSession : public dataaccess::Session {
 public:
  FakeServerSession(std::vector<std::string> databases, bool refuseQuery, std::string catalog,
                    std::shared_ptr<std::vector<std::string>> sent)
      : databases_(std::move(databases)),
        refuseQuery_(refuseQuery),
        catalog_(std::move(catalog)),
        sent_(std::move(sent)) {}
  dataaccess::StatementResult execute(std::string_view text) override {
    sent_->emplace_back(text);
    if (text != connection::kAccountSetQuery || refuseQuery_) {
      throw dataaccess::DataAccessError("permission denied");
    }
    dataaccess::ResultSet rows{{"name"}, {}};
    for (const auto& name : databases_) rows.rows.push_back({dataaccess::Value::text(name)});
    return {rows, 0};
  }
  std::string currentCatalog() const override { return catalog_; }

 private:
  std::vector<std::string> databases_;
  bool refuseQuery_;
  std::string catalog_;
  std::shared_ptr<std::vector<std::string>> sent_;
};

// The program's shared connection state with a stand-in server behind it.
struct LoginWorld {
  dataaccess::Connection cnData;
  std::shared_ptr<dataaccess::Recordset> rsData = std::make_shared<dataaccess::Recordset>();
  std::string strConn;
  std::string strSQL;

  std::string password = "right";
  std::vector<std::string> databases = {"pelkor_001_2023", "pelkor_002_2024"};
  bool refuseQuery = false;
  std::vector<std::string> opened;  // every connection string the dialog opened
  // Every statement the stand-in servers were sent.
  std::shared_ptr<std::vector<std::string>> sent = std::make_shared<std::vector<std::string>>();

  // Opens a connection on the stand-in server, which knows only `password`.
  std::function<void(dataaccess::Connection&, const std::string&)> opener() {
    return [this](dataaccess::Connection& connection, const std::string& text) {
      opened.push_back(text);
      const auto parsed = dataaccess::ConnectionString::parse(text);
      if (parsed.get("Password") != password) {
        throw dataaccess::DataAccessError("Login failed for user 'sa'");
      }
      connection.adopt(
          std::make_unique<FakeServerSession>(databases, refuseQuery,
                                              parsed.get("Initial Catalog").value_or(""), sent),
          "SQLOLEDB");
    };
  }

  ui::LoginTarget target() { return {cnData, rsData, strConn, strSQL, opener()}; }
  // The same with the real SQL Server provider behind it.
  ui::LoginTarget realTarget() { return {cnData, rsData, strConn, strSQL}; }
};

// Message boxes and picks answered by the test.
class ScriptedPrompts : public ui::LoginPrompts {
 public:
  std::vector<std::pair<QString, QString>> messages;  // text, title
  std::deque<QString> picks;                          // what the picker returns, in turn
  int browsed = 0;

  void showMessage(QWidget*, const QString& text, const QString& title) override {
    messages.emplace_back(text, title);
  }
  QString browseForComputer(QWidget*) override {
    ++browsed;
    if (picks.empty()) return {};
    QString pick = picks.front();
    picks.pop_front();
    return pick;
  }
};

}  // namespace leafward::testing
