#pragma once

#include <memory>
#include <string>
#include <vector>

#include "connection/server_connection_string.h"
#include "connection/server_login.h"
#include "dataaccess/connection.h"
#include "dataaccess/connection_string.h"
#include "dataaccess/errors.h"
#include "dataaccess/recordset.h"
#include "support/fake_session.h"

namespace leafward::testing {

// The program's shared connection state with a stand-in server behind it.
struct LoginWorld {
  dataaccess::Connection cnData;
  std::shared_ptr<dataaccess::Recordset> rsData = std::make_shared<dataaccess::Recordset>();
  std::string strConn;
  std::string strSQL;

  std::string password = "right";
  std::vector<std::string> databases = {"pelkor_001_2023", "pelkor_002_2024"};
  bool refuseQuery = false;

  // Opens a connection on the stand-in server, which knows only `password`.
  std::function<void(dataaccess::Connection&, const std::string&)> opener() {
    return [this](dataaccess::Connection& connection, const std::string& text) {
      const auto parsed = dataaccess::ConnectionString::parse(text);
      if (parsed.get("Password") != password) {
        throw dataaccess::DataAccessError("Login failed for user 'sa'");
      }
      // It lists the databases, or refuses to; it knows no other statement.
      auto server = std::make_unique<FakeSession>();
      server->catalog = parsed.get("Initial Catalog").value_or("");
      const std::string query(connection::kAccountSetQuery);
      if (refuseQuery) server->failures[query] = "permission denied";
      auto& list = server->answers[query] = {{"name"}, {}};
      for (const auto& name : databases) list.rows.push_back({dataaccess::Value::text(name)});
      connection.adopt(std::move(server), "SQLOLEDB");
    };
  }

  connection::ServerLink target() { return {cnData, rsData, strConn, strSQL, opener()}; }
};

}  // namespace leafward::testing
