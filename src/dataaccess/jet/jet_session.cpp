#include "dataaccess/jet/jet_session.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "dataaccess/ascii.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/flag_update.h"
#include "dataaccess/jet/keyed_flags.h"
#include "dataaccess/jet/read/jet_database.h"
#include "dataaccess/jet/read/jet_table_source.h"
#include "dataaccess/jet/read/rows_at.h"
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

// How often a reader undoes an interrupted statement before it takes the file for one that is
// being updated over and over.
constexpr int kMostRecoveries = 8;

// Readers hold a shared lock while they read, so that no reader ever sees half a statement:
// the writer holds an exclusive one while it writes (J8). Before anything is read, a statement
// that was interrupted is undone (J6); the journal is looked for again each time the lock is
// taken, as a writer may get in and be killed between a recovery and the lock.
class ReadLock {
 public:
  // `source`, when there is one yet, is told while the lock is held.
  ReadLock(Pager& pager, std::vector<std::string>& notices, JetTableSource* source)
      : pager_(pager), notices_(notices), source_(source) {
    const std::string journal = journalPathFor(pager_.path());
    lock();
    try {
      for (int round = 0; journalBeside(journal); ++round) {
        if (round == kMostRecoveries) beingUpdated(pager_);
        std::string keptBecause;
        const Recovery done = recover(journal, keptBecause);
        // A torn journal that cannot be removed stays; every writer refuses while it is there.
        if (done == Recovery::KeptTornJournal) {
          if (std::find(notices_.begin(), notices_.end(), keptBecause) == notices_.end()) {
            notices_.push_back(keptBecause);
          }
          break;
        }
      }
      pager_.refreshSize();
      if (source_) source_->lockTaken();
    } catch (...) {
      pager_.file().unlock();
      throw;
    }
  }
  ~ReadLock() { release(); }
  ReadLock(const ReadLock&) = delete;
  ReadLock& operator=(const ReadLock&) = delete;

  void release() {
    if (source_) source_->lockReleased();
    pager_.file().unlock();
  }

 private:
  void lock() {
    bool locked = false;
    try {
      locked = platform::waitForLock(pager_.file(), platform::LockKind::Shared);
    } catch (const platform::SystemError& error) {
      pager_.failed("cannot be read", error);
    }
    if (!locked) beingUpdated(pager_);
  }

  bool journalBeside(const std::string& journal) const {
    try {
      return platform::pathExists(journal);
    } catch (const platform::SystemError& error) {
      throw DataAccessError("the rollback journal of " + pager_.displayName() +
                                " cannot be looked for: " + error.what(),
                            ErrorKind::PendingRollback);
    }
  }

  // Undoes what the journal beside the file records. Called holding the shared lock, and
  // returns holding it again.
  Recovery recover(const std::string& journal, std::string& keptBecause) {
    std::optional<Pager> writer;
    try {
      writer.emplace(pager_.path(), Pager::Access::ReadWrite, pager_.displayName());
    } catch (const DataAccessError& error) {
      if (error.kind() != ErrorKind::ReadOnly) throw;
      // This writes nothing to the file, so the shared lock stays throughout: no writer can get
      // in meanwhile, put its own journal under the same name, and have it taken for a torn one
      // here and removed under it.
      return recoverWithoutWriting(pager_, journal, &keptBecause);
    }
    pager_.file().unlock();
    bool locked = false;
    try {
      locked = platform::waitForLock(writer->file(), platform::LockKind::Exclusive);
    } catch (const platform::SystemError& error) {
      writer->failed("cannot be read", error);
    }
    if (!locked) beingUpdated(pager_);
    const Recovery done = recoverLocked(*writer, journal, &keptBecause);
    writer.reset();  // lets go of the exclusive lock before the shared one is taken again
    lock();
    return done;
  }

  Pager& pager_;
  std::vector<std::string>& notices_;
  JetTableSource* source_;
};

// The read lock a session keeps across its statements while a read state is held (see
// Session::holdReadState), shared with what holds it and with the updates the session planned,
// either of which may outlive the session.
struct HeldRead {
  std::optional<ReadLock> lock;
};

// A writer waits for every reader's lock, its own session's too: an update through a session
// that holds a read state would wait for itself, so it is refused at once.
void refuseWhileHeld(const HeldRead& held) {
  if (held.lock) {
    throw DataAccessError(
        "The connection is holding one state of the file for the statements of a check; an "
        "update through it cannot run before that has ended, and changed nothing");
  }
}

// Lets go of the held read lock when it goes, unless the session went first and let go of it.
class HeldReadState : public dataaccess::ReadState {
 public:
  explicit HeldReadState(std::weak_ptr<HeldRead> held) : held_(std::move(held)) {}
  ~HeldReadState() override {
    if (const std::shared_ptr<HeldRead> held = held_.lock()) held->lock.reset();
  }
  HeldReadState(const HeldReadState&) = delete;
  HeldReadState& operator=(const HeldReadState&) = delete;

 private:
  std::weak_ptr<HeldRead> held_;
};

// Writes `statement` having let go of what `source` keeps only to speed up searches, so that
// the two do not take up memory at the same time.
FlagWriteResult writeKeepingLittle(const std::string& canonicalPath, const std::string& displayName,
                                   const FlagStatement& statement, JetTableSource& source) {
  if (!statement.changes.empty()) source.letGoOfSearchAids(statement.table->definition.name);
  return writeFlagStatement(canonicalPath, displayName, statement);
}

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
    const ReadLock lock(pager_, notices_, nullptr);
    database_.emplace(pager_, codePage);
    source_ = std::make_shared<JetTableSource>(*database_);
    engine_.emplace(*source_);
  }
  ~JetSession() override { held_->lock.reset(); }

  dataaccess::StatementResult execute(std::string_view text) override {
    dataaccess::StatementResult result;
    if (sql::Engine::classify(text) == sql::StatementKind::Select) {
      result.rows = reading([&] { return engine_->query(text); });
      return result;
    }
    refuseWhileHeld(*held_);
    ReadLock lock(pager_, notices_, source_.get());
    std::int64_t selected = 0;
    const FlagStatement statement = [&] {
      const sql::UpdatePlan plan = engine_->planUpdate(text);
      selected = static_cast<std::int64_t>(plan.rows.size());
      return flagStatementOf(plan, *source_);
    }();
    lock.release();
    const FlagWriteResult written = write(statement);
    if (!written.notice.empty()) notices_.push_back(written.notice);
    result.recordsAffected = selected;
    return result;
  }

  // The rows straight from the engine, none of them kept: a query of every code of a big table
  // costs no more memory than the columns it reads.
  void forEachRow(std::string_view text, const dataaccess::RowVisitor& visit) override {
    if (sql::Engine::classify(text) != sql::StatementKind::Select) {
      throw DataAccessError("The statement is not a query");
    }
    reading([&] { engine_->forEachRow(text, visit); });
  }

  // Jet reports no default database for a file.
  std::string currentCatalog() const override { return {}; }

  std::vector<std::string> takeNotices() override { return std::exchange(notices_, {}); }

  std::unique_ptr<dataaccess::PlannedUpdate> planUpdate(std::string_view text,
                                                        std::string_view keyColumn) override;

  std::int64_t setFlagsByKey(const dataaccess::KeyedFlagUpdate& update) override {
    refuseWhileHeld(*held_);
    ReadLock lock(pager_, notices_, source_.get());
    const FlagStatement statement = keyedFlagStatement(update, *source_);
    lock.release();
    const FlagWriteResult written = write(statement);
    if (!written.notice.empty()) notices_.push_back(written.notice);
    return static_cast<std::int64_t>(written.rowsChanged);
  }

  dataaccess::FlagsNow lookUpFlags(const dataaccess::FlagLookup& lookup) override {
    return reading([&] { return jet::lookUpFlags(lookup, *source_); });
  }

  // Takes the read lock and keeps it until the returned state goes: the statements run
  // meanwhile read under it, so no writer changes the file between them. A journal is looked
  // for, and recovered, when the lock is taken, as for any statement. Nothing when a state is
  // held already: its holder lets it go.
  std::unique_ptr<dataaccess::ReadState> holdReadState() override {
    if (held_->lock) return nullptr;
    held_->lock.emplace(pager_, notices_, source_.get());
    return std::make_unique<HeldReadState>(held_);
  }

 private:
  // Runs `read` under the read lock the session holds for a read state, or else one of its own.
  template <class Read>
  auto reading(Read&& read) -> decltype(read()) {
    if (held_->lock) return read();
    const ReadLock lock(pager_, notices_, source_.get());
    return read();
  }

  // The plan of an UPDATE, made under the read lock the caller holds.
  std::unique_ptr<dataaccess::PlannedUpdate> planUnderLock(std::string_view text,
                                                           std::string_view keyColumn);

  FlagWriteResult write(const FlagStatement& statement) {
    return writeKeepingLittle(canonicalPath_, pager_.displayName(), statement, *source_);
  }

  std::string canonicalPath_;
  std::vector<std::string> notices_;
  Pager pager_;
  std::optional<JetDatabase> database_;
  // Shared so that an update planned ahead can tell whether the session is still open.
  std::shared_ptr<JetTableSource> source_;
  std::optional<sql::Engine> engine_;
  std::shared_ptr<HeldRead> held_ = std::make_shared<HeldRead>();
};

// An UPDATE planned on the file, its rows found and named by their keys under one read lock.
// The writer later checks that each row still holds what the plan saw.
class JetPlannedUpdate : public dataaccess::PlannedUpdate {
 public:
  JetPlannedUpdate(std::string canonicalPath, std::string displayName,
                   std::weak_ptr<JetTableSource> source, std::weak_ptr<const HeldRead> held,
                   FlagStatement statement, std::vector<dataaccess::PlannedChange> changes,
                   std::int64_t selected)
      : canonicalPath_(std::move(canonicalPath)),
        displayName_(std::move(displayName)),
        source_(std::move(source)),
        held_(std::move(held)),
        statement_(std::move(statement)),
        changes_(std::move(changes)),
        selected_(selected) {}

  const std::vector<dataaccess::PlannedChange>& changes() const override { return changes_; }

  dataaccess::PlannedUpdateResult carryOut() override {
    // The statement names the session's table definition: it is written only while the
    // session that planned it is open.
    const std::shared_ptr<JetTableSource> source = source_.lock();
    if (!source) throw DataAccessError("The connection the update was planned on is closed");
    if (const std::shared_ptr<const HeldRead> held = held_.lock()) refuseWhileHeld(*held);
    FlagWriteResult written = writeKeepingLittle(canonicalPath_, displayName_, statement_, *source);
    dataaccess::PlannedUpdateResult result{selected_, std::move(written.changedRows), {}};
    if (!written.notice.empty()) result.notices.push_back(std::move(written.notice));
    return result;
  }

 private:
  std::string canonicalPath_, displayName_;
  std::weak_ptr<JetTableSource> source_;
  std::weak_ptr<const HeldRead> held_;
  FlagStatement statement_;
  std::vector<dataaccess::PlannedChange> changes_;
  std::int64_t selected_;
};

std::unique_ptr<dataaccess::PlannedUpdate> JetSession::planUpdate(std::string_view text,
                                                                  std::string_view keyColumn) {
  if (sql::Engine::classify(text) != sql::StatementKind::Update) {
    throw DataAccessError("Only an UPDATE can be planned");
  }
  return reading([&] { return planUnderLock(text, keyColumn); });
}

std::unique_ptr<dataaccess::PlannedUpdate> JetSession::planUnderLock(std::string_view text,
                                                                     std::string_view keyColumn) {
  const sql::UpdatePlan plan = engine_->planUpdate(text);
  FlagStatement statement = flagStatementOf(plan, *source_);
  std::vector<dataaccess::PlannedChange> changes;
  if (!plan.rows.empty()) {
    std::size_t key = plan.table.columns.size();
    for (std::size_t i = 0; i < plan.table.columns.size(); ++i) {
      if (dataaccess::equalsIgnoringCase(plan.table.columns[i].name, keyColumn)) key = i;
    }
    if (key == plan.table.columns.size()) {
      throw DataAccessError("The table " + plan.table.name + " has no column " +
                            std::string(keyColumn));
    }
    // Read under the same lock as the plan: the same rows in the same order.
    const sql::TableData keys = source_->read(plan.table, {key});
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
      const FlagChange& change = statement.changes[i];
      changes.push_back({keys.columns[0]->value(plan.rows[i]), change.expected, change.value,
                         rowIdOf(change.row)});
    }
  }
  return std::make_unique<JetPlannedUpdate>(canonicalPath_, pager_.displayName(), source_, held_,
                                            std::move(statement), std::move(changes),
                                            static_cast<std::int64_t>(plan.rows.size()));
}

}  // namespace

std::unique_ptr<dataaccess::Session> openJetSession(const std::string& path,
                                                    std::optional<std::uint16_t> codePage) {
  return std::make_unique<JetSession>(path, codePage);
}

}  // namespace leafward::jet
