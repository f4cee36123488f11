// The chain of repairs under every fault: an Update, an undo, and the take-up of a stopped one,
// each stopped by a kill, an I/O error or a full disk at every one of its writes, then followed
// by four undos. The account set is always the original or the repaired file, the undos
// alternate between exactly those two, and the record stays readable with nothing left
// interrupted.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "audit/history.h"
#include "audit/recorded_update.h"
#include "audit/statements.h"
#include "audit/undo.h"
#include "cli_run.h"
#include "connection/shared_connection.h"
#include "dataaccess/connection.h"
#include "platform/file_faults.h"
#include "record/record_file.h"
#include "record/repair_states.h"
#include "support/files.h"

namespace leafward::cli {
namespace {

namespace fs = std::filesystem;
namespace faults = platform::faults;
using testing::readBytes;

// A code held by two rows, a NULL code and codes that are patterns: rows named by where they
// are kept tell apart what codes cannot.
constexpr const char* kFixture = "odd-codes.mdb";

enum class Command { Update, Undo };
// The original file, the repaired one, and either statement of the repair alone (one statement
// done and the other failed, as an Update can end), or anything else.
enum class File { Original, Repaired, NonLeafOnly, LeafOnly, Other };

// How the chain starts before the command that is stopped.
enum class Before {
  Nothing,           // the stopped command is an Update
  Update,            // ... an undo of a whole Update
  StoppedUpdate,     // ... an undo that takes up an Update stopped half way
  UpdateStoppedUndo  // ... an undo that takes up an undo stopped half way
};

struct Images {
  std::vector<std::uint8_t> original, repaired, nonLeafOnly, leafOnly;
};

std::vector<std::uint8_t> afterStatementAlone(const std::string& statement) {
  testing::FixtureCopy copy(kFixture);
  dataaccess::Connection connection;
  connection.open(connection::accessConnectionString(copy.path()));
  connection.execute(statement);
  connection.close();
  return readBytes(copy.path());
}

const Images& images() {
  static const Images made = [] {
    testing::FixtureCopy copy(kFixture);
    Images images;
    images.original = readBytes(copy.path());
    EXPECT_EQ(testing::runCli({"update", copy.path()}, copy.dir()).exitCode, 0);
    images.repaired = readBytes(copy.path());
    images.nonLeafOnly = afterStatementAlone(std::string(audit::kClearNonLeafFlagsStatement));
    images.leafOnly = afterStatementAlone(audit::setLeafFlagsStatement(false));
    return images;
  }();
  return made;
}

// One account set in a folder of its own, and its record beside it.
class Chain {
 public:
  std::string path() const { return copy_.path(); }
  std::string records() const { return (copy_.dir() / "repairs").string(); }
  audit::RecordTarget target() const {
    return {records(), record::AccountSet::accessFile(copy_.path())};
  }

  File file() const {
    const std::vector<std::uint8_t> bytes = readBytes(copy_.path());
    if (bytes == images().original) return File::Original;
    if (bytes == images().repaired) return File::Repaired;
    if (bytes == images().nonLeafOnly) return File::NonLeafOnly;
    if (bytes == images().leafOnly) return File::LeafOnly;
    return File::Other;
  }

  // The command in this process, as leafward-cli runs it.
  void run(Command command) const {
    connection::SharedConnection shared;
    shared.startUp();
    try {
      shared.openAccess(copy_.path());
    } catch (const std::exception&) {
      return;
    }
    audit::TextWorkbench bench;
    if (command == Command::Update) {
      audit::runRecordedUpdate(shared, bench, target());
    } else {
      audit::runUndo(shared, bench, target());
    }
    shared.shutDown();
  }

  // The command as leafward-cli, killed instead of its `change`th write, flush, removal or cut
  // (0: not killed). True when it was killed.
  bool runKilled(Command command, std::size_t change) const {
    const testing::CliRun run =
        testing::runCli({command == Command::Update ? "update" : "undo", copy_.path()}, copy_.dir(),
                        {{"LEAFWARD_TEST_KILL_AT_CHANGE", std::to_string(change)}});
    return run.killed;
  }

  // The unsettled last entry, if the record ends in one.
  bool endsUnsettled() const {
    const auto repairs = record::readRecord(records(), target().accountSet).repairs;
    return !repairs.empty() && !record::settled(repairs.back());
  }

 private:
  testing::FixtureCopy copy_{kFixture};
};

// Four undos after the stopped command: each leaves the original or the repaired file, the
// two by turns (or, with nothing on record, the original throughout); the history reads and
// nothing is left interrupted.
void expectAlternation(const Chain& chain, const std::string& where, bool firstOriginal) {
  std::vector<File> files;
  for (int i = 0; i < 4; ++i) {
    chain.run(Command::Undo);
    files.push_back(chain.file());
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    ASSERT_TRUE(files[i] == File::Original || files[i] == File::Repaired)
        << where << ", undo " << i + 1 << ": " << static_cast<int>(files[i]);
  }
  if (firstOriginal) {
    EXPECT_EQ(files[0], File::Original) << where;
  }
  const bool nothingToUndo = files[0] == files[1];
  for (std::size_t i = 1; i < files.size(); ++i) {
    if (nothingToUndo) {
      EXPECT_EQ(files[i], File::Original) << where << ", undo " << i + 1;
    } else {
      EXPECT_NE(files[i], files[i - 1]) << where << ", undo " << i + 1;
    }
  }
  const audit::History history = audit::listHistory(chain.target());
  ASSERT_EQ(history.failure, "") << where;
  for (const std::string& line : history.lines) {
    EXPECT_EQ(line.find("已中断"), std::string::npos) << where << ": " << line;
    EXPECT_EQ(line.find("计划中"), std::string::npos) << where << ": " << line;
  }
}

// The changes of a command run in this process from the state `setUp` brings a fresh account
// set to.
std::vector<faults::Change> changesOf(Command command,
                                      const std::function<void(const Chain&)>& setUp) {
  const Chain probe;
  setUp(probe);
  faults::reset();
  probe.run(command);
  std::vector<faults::Change> changes = faults::changes();
  faults::reset();
  return changes;
}

// Where, among `changes`, the record is written to confirm the first statement: the first
// write of the record after the statement's own writes; counted among all changes, and among
// the writes alone.
struct Confirming {
  std::size_t change = 0, write = 0;
};
Confirming firstConfirmation(const std::vector<faults::Change>& changes) {
  std::size_t writes = 0;
  bool statementWrote = false;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (changes[i].operation != faults::Operation::Write) continue;
    ++writes;
    const std::string& path = changes[i].path;
    if (!path.ends_with(".csv") && !path.ends_with(".anchor")) {
      statementWrote = true;
    } else if (statementWrote && path.ends_with(".csv")) {
      return {i + 1, writes};
    }
  }
  return {};
}

using Stop = std::function<void(const Chain&, Command, const std::function<void(const Chain&)>&)>;

// A setup command stopped as its first statement is done but not yet confirmed.
void stopWithFullDisk(const Chain& chain, Command command,
                      const std::function<void(const Chain&)>& setUp) {
  const Confirming at = firstConfirmation(changesOf(command, setUp));
  ASSERT_GT(at.write, 0u);
  faults::reset();
  faults::failAt(faults::Operation::Write, at.write, faults::Fault::NoSpace);
  chain.run(command);
  faults::reset();
}

void stopWithKill(const Chain& chain, Command command,
                  const std::function<void(const Chain&)>& setUp) {
  const Confirming at = firstConfirmation(changesOf(command, setUp));
  ASSERT_GT(at.change, 0u);
  ASSERT_TRUE(chain.runKilled(command, at.change));
}

// What comes before the stopped command, with a setup command stopped by `stop`.
std::function<void(const Chain&)> setUpFor(Before before, const Stop& stop) {
  return [before, stop](const Chain& chain) {
    const auto update = [](const Chain& c) { c.run(Command::Update); };
    const auto nothing = [](const Chain&) {};
    switch (before) {
      case Before::Nothing:
        return;
      case Before::Update:
        update(chain);
        return;
      case Before::StoppedUpdate:
        stop(chain, Command::Update, nothing);
        break;
      case Before::UpdateStoppedUndo:
        update(chain);
        stop(chain, Command::Undo, update);
        break;
    }
    ASSERT_TRUE(chain.endsUnsettled());
  };
}

Command stoppedCommand(Before before) {
  return before == Before::Nothing ? Command::Update : Command::Undo;
}

std::string nameOf(Before before) {
  switch (before) {
    case Before::Nothing:
      return "Update";
    case Before::Update:
      return "UndoOfAnUpdate";
    case Before::StoppedUpdate:
      return "UndoTakingUpAnUpdate";
    case Before::UpdateStoppedUndo:
      return "UndoTakingUpAnUndo";
  }
  return {};
}

class RepairChainTest : public ::testing::TestWithParam<Before> {
 protected:
  void TearDown() override { faults::reset(); }
};

// Under Wine, where every file operation takes far longer, every fourth fault of each kind and
// every fourth kill, each phase from another start: together the phases reach every residue.
#ifdef _WIN32
constexpr std::size_t kFaultStride = 4, kKillStride = 4;
#else
constexpr std::size_t kFaultStride = 1, kKillStride = 1;
#endif
std::size_t firstOf(Before before, std::size_t stride) {
  return 1 + static_cast<std::size_t>(before) % stride;
}

// An I/O error at every write, flush, removal and cut of the command, and a full disk or half a
// write at every write of its record, in this process.
TEST_P(RepairChainTest, EveryFailingWriteLeavesAChainThatAlternates) {
  const Before before = GetParam();
  const auto setUp = setUpFor(before, stopWithFullDisk);
  const Command command = stoppedCommand(before);
  std::size_t counts[4] = {};
  const faults::Operation operations[] = {faults::Operation::Write, faults::Operation::Sync,
                                          faults::Operation::Remove, faults::Operation::Resize};
  // Which writes are the record's: a full disk or half a write there tears its rows.
  std::set<std::size_t> recordWrites;
  {
    const Chain probe;
    setUp(probe);
    faults::reset();
    probe.run(command);
    for (std::size_t i = 0; i < 4; ++i) counts[i] = faults::count(operations[i]);
    std::size_t writes = 0;
    for (const faults::Change& change : faults::changes()) {
      if (change.operation != faults::Operation::Write) continue;
      ++writes;
      if (change.path.ends_with(".csv") || change.path.ends_with(".anchor")) {
        recordWrites.insert(writes);
      }
    }
    faults::reset();
  }
  ASSERT_GE(counts[0], 4u);
  for (std::size_t kind = 0; kind < 4; ++kind) {
    for (std::size_t nth = firstOf(before, kFaultStride); nth <= counts[kind];
         nth += kFaultStride) {
      std::vector<faults::Fault> chosen = {faults::Fault::IoError};
      if (operations[kind] == faults::Operation::Write && recordWrites.count(nth)) {
        chosen.push_back(faults::Fault::NoSpace);
        chosen.push_back(faults::Fault::ShortWrite);
      }
      for (const faults::Fault fault : chosen) {
        const Chain chain;
        setUp(chain);
        faults::reset();
        faults::failAt(operations[kind], nth, fault);
        chain.run(command);
        faults::reset();
        const std::string where = "operation " + std::to_string(kind) + " #" + std::to_string(nth) +
                                  ", fault " + std::to_string(static_cast<int>(fault));
        ASSERT_NE(chain.file(), File::Other) << where;
        expectAlternation(chain, where, before == Before::Nothing);
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
  }
}

// A kill instead of every write, flush, removal and cut of leafward-cli's command.
TEST_P(RepairChainTest, AKillAtEveryWriteLeavesAChainThatAlternates) {
  const Before before = GetParam();
  const auto setUp = setUpFor(before, stopWithKill);
  const Command command = stoppedCommand(before);
  const std::size_t changes = changesOf(command, setUpFor(before, stopWithFullDisk)).size();
  ASSERT_GT(changes, 10u);
  std::size_t killed = 0;
  for (std::size_t change = firstOf(before, kKillStride); change <= changes + 1;
       change += kKillStride) {
    const Chain chain;
    setUp(chain);
    killed += chain.runKilled(command, change) ? 1 : 0;
    const std::string where = "killed at change " + std::to_string(change);
    ASSERT_NE(chain.file(), File::Other) << where;
    expectAlternation(chain, where, before == Before::Nothing);
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_GE(killed, changes / kKillStride - 1);
}

// What the take-up says: the entry it completes, what it did, and the history marks it.
TEST(RepairTakeUpTest, ATakenUpEntrySaysSoAndTheChainGoesOn) {
  const Chain chain;
  const auto undo = [&] {
    return testing::runCli({"undo", chain.path()}, fs::path(chain.path()).parent_path());
  };
  const auto history = [&] {
    return testing::runCli({"history", chain.path()}, fs::path(chain.path()).parent_path()).out;
  };
  // An Update stopped after its first statement: completed, then put back.
  stopWithFullDisk(chain, Command::Update, [](const Chain&) {});
  const record::Repair update =
      record::readRecord(chain.records(), chain.target().accountSet).repairs.at(0);
  testing::CliRun run = undo();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string who = "（" + update.user + "，" + update.computer + "）";
  EXPECT_EQ(run.out, "\n续做中断的修复 " + update.id + who + "\n有 1个末级科目标志被更新\n撤销 " +
                         update.id + " 的修复" + who +
                         "\n有 4个非末级科目标志被恢复\n有 1个末级科目标志被恢复\n");
  EXPECT_EQ(chain.file(), File::Original);
  EXPECT_NE(history().find(update.id + " " + update.user + "@" + update.computer +
                           " 修复：非末级科目标志 4个，末级科目标志 1个，已撤销（中断后续做）"),
            std::string::npos)
      << history();
  // An undo stopped after its first statement: completed, and that is the undo asked for.
  ASSERT_EQ(undo().exitCode, 0);
  ASSERT_EQ(chain.file(), File::Repaired);
  stopWithFullDisk(chain, Command::Undo, [](const Chain& c) {
    c.run(Command::Update);
    c.run(Command::Undo);
    c.run(Command::Undo);
  });
  const record::Repair stopped =
      record::readRecord(chain.records(), chain.target().accountSet).repairs.back();
  run = undo();
  EXPECT_EQ(run.out, "\n续做中断的撤销 " + stopped.id + who + "\n有 1个末级科目标志被恢复\n");
  EXPECT_EQ(chain.file(), File::Original);
  run = undo();
  EXPECT_THAT(run.out, ::testing::HasSubstr("撤销 " + stopped.id + " 的撤销" + who));
  EXPECT_EQ(chain.file(), File::Repaired);
}

INSTANTIATE_TEST_SUITE_P(Chains, RepairChainTest,
                         ::testing::Values(Before::Nothing, Before::Update, Before::StoppedUpdate,
                                           Before::UpdateStoppedUndo),
                         [](const auto& info) { return nameOf(info.param); });

}  // namespace
}  // namespace leafward::cli
