// Flags looked up and set back by key on SQL Server: one parameterised statement per key (the
// updates in one transaction), so that no code is ever pasted into the text of a statement.
#include <cstdint>
#include <optional>
#include <set>

#include "dataaccess/errors.h"
#include "dataaccess/keyed_flag_statements.h"
#include "dataaccess/odbc/driver_session.h"
#include "dataaccess/odbc/utf16.h"

namespace leafward::odbc {
namespace {

using dataaccess::DataAccessError;

// The values one UPDATE is run with; they must stay where they are until it has run.
struct Parameters {
  unsigned char to = 0, from = 0;
  std::string utf8;
  std::u16string utf16;
  SQLLEN keyLength = 0;
};

void bindFlag(const Handle& statement, SQLUSMALLINT number, unsigned char& value,
              std::string_view secret) {
  check(SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &value,
                         0, nullptr),
        statement, "Cannot pass a flag to the statement", secret);
}

void bindKey(const Handle& statement, Parameters& values, SQLUSMALLINT number,
             std::string_view secret) {
  SQLRETURN rc = SQL_ERROR;
  if (statement.textMode() == TextMode::Utf8) {
    values.keyLength = static_cast<SQLLEN>(values.utf8.size());
    const auto characters = static_cast<SQLULEN>(utf16FromUtf8(values.utf8).size());
    rc = SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_WVARCHAR,
                          characters > 0 ? characters : 1, 0, values.utf8.data(), values.keyLength,
                          &values.keyLength);
  } else {
    values.keyLength = static_cast<SQLLEN>(values.utf16.size() * sizeof(char16_t));
    const auto characters = static_cast<SQLULEN>(values.utf16.size());
    rc = SQLBindParameter(statement.get(), number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                          characters > 0 ? characters : 1, 0, values.utf16.data(), values.keyLength,
                          &values.keyLength);
  }
  check(rc, statement, "Cannot pass a key to the statement", secret);
}

void setAutocommit(const Handle& connection, bool on, std::string_view secret) {
  const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  check(SQLSetConnectAttr(connection.get(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value)),
                          SQL_IS_UINTEGER),
        connection, on ? "Cannot end the transaction" : "Cannot begin a transaction", secret);
}

// A row is named by its key alone on SQL Server.
void refuseNamedRows(bool named) {
  if (named) throw DataAccessError("Rows of a SQL Server table are named by their key alone");
}

}  // namespace

void DriverSession::restoreAutocommit() {
  if (!autocommitOff_) return;
  setAutocommit(connection_, true, secret_);
  autocommitOff_ = false;
}

dataaccess::FlagsNow DriverSession::lookUpFlags(const dataaccess::FlagLookup& lookup) {
  const dataaccess::KeyedFlagStatements texts = dataaccess::flagLookupStatements(lookup);
  std::set<std::optional<std::string>> keys;
  for (const dataaccess::NamedRow& row : lookup.rows) {
    refuseNamedRows(!row.row.empty());
    keys.insert(row.key);
  }
  restoreAutocommit();
  dataaccess::FlagsNow now;
  now.rows.resize(lookup.rows.size());
  for (const std::optional<std::string>& key : keys) {
    Handle statement = allocate(SQL_HANDLE_STMT, connection_);
    Parameters values;
    if (key) {
      values.utf8 = *key;
      values.utf16 = utf16FromUtf8(*key);
      bindKey(statement, values, 1, secret_);
    }
    check(executeText(statement, key ? texts.byKey : texts.byNullKey), statement,
          "The statement failed", secret_);
    dataaccess::FlagsNow::Counts counts;
    for (SQLRETURN rc = SQLFetch(statement.get()); rc != SQL_NO_DATA;
         rc = SQLFetch(statement.get())) {
      check(rc, statement, "Cannot read the next row", secret_);
      SQLINTEGER flag = 0;
      SQLLEN indicator = 0;
      check(SQLGetData(statement.get(), 1, SQL_C_SLONG, &flag, 0, &indicator), statement,
            "Cannot read a flag", secret_);
      if (indicator == SQL_NULL_DATA) continue;
      ++(flag != 0 ? counts.yes : counts.no);
    }
    if (counts.yes + counts.no > 0) now.keys.emplace_back(key, counts);
  }
  return now;
}

std::int64_t DriverSession::setFlagsByKey(const dataaccess::KeyedFlagUpdate& update) {
  const dataaccess::KeyedFlagStatements texts = dataaccess::keyedFlagStatements(update);
  for (const dataaccess::KeyedFlag& entry : update.flags) refuseNamedRows(!entry.row.empty());
  std::int64_t changed = 0;
  restoreAutocommit();
  setAutocommit(connection_, false, secret_);
  try {
    for (const dataaccess::KeyedFlag& entry : update.flags) {
      Handle statement = allocate(SQL_HANDLE_STMT, connection_);
      Parameters values;
      values.to = entry.to ? 1 : 0;
      values.from = entry.from ? 1 : 0;
      bindFlag(statement, 1, values.to, secret_);
      if (entry.key) {
        values.utf8 = *entry.key;
        values.utf16 = utf16FromUtf8(*entry.key);
        bindKey(statement, values, 2, secret_);
      }
      bindFlag(statement, entry.key ? 3 : 2, values.from, secret_);
      const SQLRETURN rc = executeText(statement, entry.key ? texts.byKey : texts.byNullKey);
      SQLLEN rows = 0;
      if (rc != SQL_NO_DATA) {
        check(rc, statement, "The statement failed", secret_);
        check(SQLRowCount(statement.get(), &rows), statement,
              "Cannot read the number of rows changed", secret_);
      }
      if (rows != entry.rows) {
        throw DataAccessError(std::to_string(rows) + " rows of " + update.table + " with " +
                                  update.keyColumn + " " +
                                  (entry.key ? "'" + *entry.key + "'" : std::string("NULL")) +
                                  " held the flag to change, not " + std::to_string(entry.rows) +
                                  ": the table has changed since it was read",
                              dataaccess::ErrorKind::ChangedSinceRead);
      }
      changed += rows;
    }
    // A commit that fails may have been carried out all the same (a connection lost before the
    // answer came, which drivers do not always tell apart from a refusal): it is never taken
    // for one undone.
    const SQLRETURN committed = SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_COMMIT);
    if (!succeeded(committed)) {
      throw DataAccessError(
          "The commit of the change failed, so whether the server made the change is not "
          "known: " +
          (committed == SQL_INVALID_HANDLE ? std::string("invalid ODBC handle")
                                           : diagnostics(connection_, secret_)) +
          ". Check the flags before changing them again");
    }
  } catch (...) {
    // The server undoes every statement of a transaction that was not committed.
    SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK);
    autocommitOff_ = !succeeded(SQLSetConnectAttr(
        connection_.get(), SQL_ATTR_AUTOCOMMIT,
        reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(SQL_AUTOCOMMIT_ON)),
        SQL_IS_UINTEGER));
    throw;
  }
  // The change is made: a connection left committing by hand is worth a notice, not a failure,
  // and is set back before the next statement.
  autocommitOff_ = true;
  try {
    restoreAutocommit();
  } catch (const DataAccessError& error) {
    notices_.push_back(std::string("the change was committed, but the connection could not be "
                                   "set back to commit each statement on its own (") +
                       error.what() + "); that is tried again before the next statement");
  }
  return changed;
}

}  // namespace leafward::odbc
