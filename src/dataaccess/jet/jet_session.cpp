#include "dataaccess/jet/jet_session.h"

#include <optional>

#include "dataaccess/errors.h"
#include "dataaccess/jet/flag_update.h"
#include "dataaccess/jet/read/jet_database.h"
#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/jet/write/journal_recovery.h"
#include "dataaccess/sql/engine.h"
#include "platform/lock_wait.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;

// The file's canonical path: its journal is found by it, whichever path led to the file.
std::string canonicalOf(const std::string& path) {
  if (path.empty()) throw DataAccessError("No file name was given");
  try {
    return platform::canonicalPath(path);
  } catch (const platform::SystemError& error) {
    if (error.failure() == platform::Failure::NotFound) {
      throw DataAccessError("The file " + path + " does not exist");
    }
    throw DataAccessError("The file " + path + " cannot be opened: " + error.what());
  }
}

[[noreturn]] void beingUpdated(const Pager& pager) {
  throw DataAccessError("the file " + pager.displayName() +
                            " is being updated by another program; try again when it has "
                            "finished",
                        ErrorKind::BeingUpdated);
}

// Readers hold a shared lock while they read, so that no reader ever sees half a statement:
// the writer holds an exclusive one while it writes. Before anything is read, a statement that
// was interrupted is undone.
class ReadLock {
 public:
  explicit ReadLock(Pager& pager) : pager_(pager) {
    lock();
    const std::string journal = journalPathFor(pager_.path());
    if (platform::pathExists(journal)) {
      pager_.file().unlock();
      recover(journal);
      lock();
    }
    pager_.refreshSize();
  }
  ~ReadLock() { release(); }
  ReadLock(const ReadLock&) = delete;
  ReadLock& operator=(const ReadLock&) = delete;

  void release() { pager_.file().unlock(); }

 private:
  void lock() {
    if (!platform::waitForLock(pager_.file(), platform::LockKind::Shared)) beingUpdated(pager_);
  }

  void recover(const std::string& journal) {
    std::optional<Pager> writer;
    try {
      writer.emplace(pager_.path(), Pager::Access::ReadWrite, pager_.displayName());
    } catch (const DataAccessError& error) {
      if (error.kind() != ErrorKind::ReadOnly) throw;
      recoverWithoutWriting(pager_, journal);
      return;
    }
    if (!platform::waitForLock(writer->file(), platform::LockKind::Exclusive)) {
      beingUpdated(pager_);
    }
    DurabilityStats stats;
    recoverLocked(*writer, journal, stats);
  }

  Pager& pager_;
};

// Statements over one .mdb file: queries run by the SQL engine over the file's tables;
// updates are planned by the engine and written in place by the flag writer.
//
// The rows read are kept between statements only while the pages they came from hold the same
// bytes (see JetTableSource). What the session keeps for good, the table definitions and the
// lists of pages, an update never changes, since it only flips bits inside rows.
class JetSession : public dataaccess::Session {
 public:
  JetSession(const std::string& path, std::optional<std::uint16_t> codePage)
      : canonicalPath_(canonicalOf(path)), pager_(canonicalPath_, Pager::Access::Read, path) {
    const ReadLock lock(pager_);
    database_.emplace(pager_, codePage);
    source_.emplace(*database_);
    engine_.emplace(*source_);
  }

  dataaccess::StatementResult execute(std::string_view text) override {
    dataaccess::StatementResult result;
    ReadLock lock(pager_);
    if (sql::Engine::classify(text) == sql::StatementKind::Select) {
      result.rows = engine_->query(text);
      return result;
    }
    const FlagUpdate update = [&] {
      const sql::UpdatePlan plan = engine_->planUpdate(text);
      return prepareFlagUpdate(canonicalPath_, pager_.displayName(), plan, *source_);
    }();
    lock.release();
    if (!update.changes.empty()) source_->letGoOfSearchAids(update.target.table.name);
    result.recordsAffected = carryOutFlagUpdate(update);
    return result;
  }

  // Jet reports no default database for a file.
  std::string currentCatalog() const override { return {}; }

 private:
  std::string canonicalPath_;
  Pager pager_;
  std::optional<JetDatabase> database_;
  std::optional<JetTableSource> source_;
  std::optional<sql::Engine> engine_;
};

}  // namespace

std::unique_ptr<dataaccess::Session> openJetSession(const std::string& path,
                                                    std::optional<std::uint16_t> codePage) {
  return std::make_unique<JetSession>(path, codePage);
}

}  // namespace leafward::jet
