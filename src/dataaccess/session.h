#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dataaccess/connection_string.h"
#include "dataaccess/errors.h"
#include "dataaccess/value.h"

namespace leafward::dataaccess {

// The rows of a query, fetched whole.
struct ResultSet {
  std::vector<std::string> columnNames;
  std::vector<std::vector<Value>> rows;
};

// What one statement gave back: rows for a query, the number of rows changed for an update.
struct StatementResult {
  std::optional<ResultSet> rows;
  std::int64_t recordsAffected = 0;
};

// Sees one row of a query's result; the values are valid only during the call.
using RowVisitor = std::function<void(const std::vector<Value>& row)>;

// A row an UPDATE selects, named by the value of a key column, with its Yes/No value before
// and after the statement, and where the provider keeps it: a text that the same provider
// takes back to find that very row again (an Access file's data page and row entry, "812:3"),
// or empty where the key is all that names a row.
struct PlannedChange {
  PlannedChange() = default;
  PlannedChange(Value key, bool before, bool after, std::string row = {})
      : key(std::move(key)), before(before), after(after), row(std::move(row)) {}

  Value key;
  bool before = false;
  bool after = false;
  std::string row;
};

// What carrying out a planned UPDATE did.
struct PlannedUpdateResult {
  std::int64_t recordsAffected = 0;  // as execute() counts them
  // Positions in PlannedUpdate::changes() of the rows whose stored value it changed.
  std::vector<std::size_t> changed;
  // What a person should know of the change, which was made (see Session::takeNotices).
  std::vector<std::string> notices;
};

// An UPDATE that is planned but has changed nothing yet, so that a caller can write down the
// rows it will change before it runs.
class PlannedUpdate {
 public:
  virtual ~PlannedUpdate() = default;
  // Every row the statement selects, in table order.
  virtual const std::vector<PlannedChange>& changes() const = 0;
  // Carries it out, all or nothing, on the rows planned; throws DataAccessError (a refusal
  // having changed nothing) as execute() does.
  virtual PlannedUpdateResult carryOut() = 0;
};

// Yes/No values to set in the rows that a key names, or in the one row that `row` names (as
// PlannedChange::row gives it), which must also hold that key.
struct KeyedFlag {
  KeyedFlag() = default;
  KeyedFlag(std::optional<std::string> key, bool from, bool to, std::int64_t rows = 1,
            std::string row = {})
      : key(std::move(key)), from(from), to(to), rows(rows), row(std::move(row)) {}

  std::optional<std::string> key;  // nothing: the rows whose key is NULL
  bool from = false;
  bool to = false;
  std::int64_t rows = 1;  // how many such rows there must be; 1 for a named row
  std::string row;        // empty: every row of the key
};
struct KeyedFlagUpdate {
  std::string table, keyColumn, flagColumn;
  std::vector<KeyedFlag> flags;
};

// Rows to look at as a record of repairs names them: by where the provider keeps a row
// (PlannedChange::row), checked against its key, or by the key alone.
struct NamedRow {
  std::optional<std::string> key;
  std::string row;  // empty: named by its key alone
};
struct FlagLookup {
  std::string table, keyColumn, flagColumn;
  std::vector<NamedRow> rows;
};

// What the rows of a FlagLookup hold now. A row named by where it is kept is `found` when a
// live row is there and holds the key; its flag is then given (nothing for NULL). Rows named
// by key are counted per key: how many rows of that key hold Yes, and how many No.
struct FlagsNow {
  struct Row {
    bool found = false;
    std::optional<bool> flag;
  };
  struct Counts {
    std::int64_t yes = 0, no = 0;
  };
  std::vector<Row> rows;  // one per named row, in order; default for rows named by key
  std::vector<std::pair<std::optional<std::string>, Counts>> keys;  // per distinct key, sorted
  // The counts of `key`; nothing when no row holds it.
  const Counts* countsOf(const std::optional<std::string>& key) const {
    const auto found = std::lower_bound(
        keys.begin(), keys.end(), key,
        [](const auto& entry, const auto& wanted) { return entry.first < wanted; });
    return found != keys.end() && found->first == key ? &found->second : nullptr;
  }
};

// While it lives, the statements of the session that gave it read one state of the database:
// no change made meanwhile shows in some of them and not in others. Letting it go, or closing
// the session, lets that state go.
class ReadState {
 public:
  virtual ~ReadState() = default;
};

// An open connection of one provider. Every method throws DataAccessError on failure.
class Session {
 public:
  virtual ~Session() = default;
  virtual StatementResult execute(std::string_view text) = 0;
  // The database the session works in: the catalog on a server; empty for an Access file,
  // for which Jet reports no default database.
  virtual std::string currentCatalog() const = 0;
  // What a person should know of what the session did without failing (a journal left beside
  // a file that was read all the same, a change whose journal's removal may not be durable),
  // each said once, since the last call.
  virtual std::vector<std::string> takeNotices() { return {}; }

  // Holds one state of the database for the statements that run while the result lives (see
  // ReadState). On an Access file the read lock is kept meanwhile: a writer waits until the
  // state goes, and an update through this session is refused at once, changing nothing (it
  // would wait for its own lock). Nothing when the provider's statements each read on their
  // own, or when a state is held already.
  virtual std::unique_ptr<ReadState> holdReadState() { return nullptr; }

  // Runs the query `text` and hands its rows to `visit` one at a time, in the order execute()
  // would give them, without holding them all at once where the provider can avoid it.
  virtual void forEachRow(std::string_view text, const RowVisitor& visit) {
    const StatementResult result = execute(text);
    if (!result.rows) throw DataAccessError("The statement is not a query");
    for (const std::vector<Value>& row : result.rows->rows) visit(row);
  }

  // Plans the UPDATE `text` without changing anything, naming each row it selects by its
  // `keyColumn`. Providers that cannot plan ahead refuse.
  virtual std::unique_ptr<PlannedUpdate> planUpdate(std::string_view /*text*/,
                                                    std::string_view /*keyColumn*/) {
    throw DataAccessError("This provider cannot plan an update ahead");
  }

  // Sets the flag column in the rows that keys name, as one all-or-nothing change: for each
  // entry, the rows whose key column equals its key (exactly) and whose flag holds `from` get
  // `to`, and there must be `rows` of them; an entry that names a row sets that row alone,
  // which must still hold the key and `from`. When an entry finds another number, nothing is
  // changed and DataAccessError ChangedSinceRead is thrown. Returns the rows changed.
  virtual std::int64_t setFlagsByKey(const KeyedFlagUpdate& /*update*/) {
    throw DataAccessError("This provider cannot set flags by key");
  }

  // Reads what the rows of `lookup` hold now, changing nothing.
  virtual FlagsNow lookUpFlags(const FlagLookup& /*lookup*/) {
    throw DataAccessError("This provider cannot look up flags by key");
  }
};

// Opens a session for the provider that the connection string's `Provider` key names. The
// Access provider (Microsoft.Jet.OLEDB.4.0) takes `Data Source` (the file) and, optionally,
// `Code Page` (the Windows code page of an Access 97 file's text, when its header names
// another). Throws DataAccessError for an unknown or missing provider and for any open
// failure.
std::unique_ptr<Session> openSession(const ConnectionString& connection, std::string_view user,
                                     std::string_view password);

}  // namespace leafward::dataaccess
