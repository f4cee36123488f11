#include "dataaccess/connection.h"

#include "dataaccess/recordset.h"

namespace leafward::dataaccess {

void Connection::open(std::string_view connectionString, std::string_view user,
                      std::string_view password, int /*options*/) {
  if (session_) throw DataAccessError("The connection is already open");
  try {
    const ConnectionString parsed = ConnectionString::parse(connectionString);
    session_ = openSession(parsed, user, password);
    provider_ = parsed.get("Provider").value_or("");
    lastError_.clear();
  } catch (const DataAccessError& error) {
    session_.reset();
    provider_.clear();
    lastError_ = error.what();
    throw;
  }
}

void Connection::close() {
  if (!session_) throw DataAccessError("The connection is not open");
  session_.reset();
  provider_.clear();
}

std::shared_ptr<Recordset> Connection::execute(std::string_view text, std::int64_t* recordsAffected,
                                               int /*options*/) {
  if (!session_) throw DataAccessError("The connection is not open");
  StatementResult result = session_->execute(text);
  if (recordsAffected) *recordsAffected = result.recordsAffected;
  if (result.rows) return std::make_shared<Recordset>(std::move(*result.rows));
  return std::make_shared<Recordset>();
}

void Connection::forEachRow(std::string_view text, const RowVisitor& visit) {
  if (!session_) throw DataAccessError("The connection is not open");
  session_->forEachRow(text, visit);
}

std::string Connection::defaultDatabase() const {
  if (!session_) throw DataAccessError("The connection is not open");
  return session_->currentCatalog();
}

std::vector<std::string> Connection::takeNotices() {
  return session_ ? session_->takeNotices() : std::vector<std::string>{};
}

std::unique_ptr<ReadState> Connection::holdReadState() {
  if (!session_) throw DataAccessError("The connection is not open");
  return session_->holdReadState();
}

std::unique_ptr<PlannedUpdate> Connection::planUpdate(std::string_view text,
                                                      std::string_view keyColumn) {
  if (!session_) throw DataAccessError("The connection is not open");
  return session_->planUpdate(text, keyColumn);
}

std::int64_t Connection::setFlagsByKey(const KeyedFlagUpdate& update) {
  if (!session_) throw DataAccessError("The connection is not open");
  return session_->setFlagsByKey(update);
}

FlagsNow Connection::lookUpFlags(const FlagLookup& lookup) {
  if (!session_) throw DataAccessError("The connection is not open");
  return session_->lookUpFlags(lookup);
}

void Connection::adopt(std::unique_ptr<Session> session, std::string provider) {
  session_ = std::move(session);
  provider_ = session_ ? std::move(provider) : std::string();
  lastError_.clear();
}

}  // namespace leafward::dataaccess
