// The record file on disk: where it is, what its bytes are, that rows are only appended, that
// a repair holds it, and that a file that cannot be made is refused with the reason.
#include "record/record_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file.h"
#include "platform/file_faults.h"
#include "support/files.h"

namespace leafward::record {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::readFile;
namespace faults = platform::faults;

// What the syncs since the last reset made durable, in order.
std::vector<std::string> syncedPaths() {
  std::vector<std::string> paths;
  for (const faults::Change& change : faults::changes()) {
    if (change.operation == platform::faults::Operation::Sync) paths.push_back(change.path);
  }
  return paths;
}

void writeText(const std::string& path, const std::string& text) {
  testing::writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

Repair planned(std::vector<CodeChange> codes) {
  Repair repair;
  repair.steps = {{Direction::NonLeaf, "update code Set [bend] = 0 ...", std::move(codes), {}},
                  {Direction::Leaf, "update code Set [bend] = true ...", {}, {}}};
  return repair;
}

class RecordFileTest : public ::testing::Test {
 protected:
  void TearDown() override { faults::reset(); }
  std::string folder() const { return (dir_.path() / "state" / "repairs").string(); }
  testing::TempDir dir_;
  const std::string mdb_ = dir_.copyFixture("account-sets/worked-example.mdb");
  const AccountSet set_ = AccountSet::accessFile(mdb_);
};

TEST_F(RecordFileTest, RowsAreAppendedAndReadBack) {
  Repair first = planned({{"1001", true, false}, {"10,\"1", true, false}});
  {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    EXPECT_EQ(record.path(), recordPath(folder(), set_));
    EXPECT_TRUE(record.repairs().empty());
    faults::reset();
    record.begin(first);
    // The rows, and the new file's name in its folder, are durable before anything runs.
    EXPECT_EQ(syncedPaths(), (std::vector<std::string>{record.path(), folder()}));
    // Written down and durable before anything runs: another reader sees it already.
    const RecordReading meanwhile = readRecord(folder(), set_);
    EXPECT_TRUE(meanwhile.repairUnderWay);
    ASSERT_EQ(meanwhile.repairs.size(), 1u);
    EXPECT_FALSE(meanwhile.repairs[0].finished());
    first.steps[0].confirmation = Confirmation{false, 2, {}};
    record.confirm(first, 0);
    first.steps[1].confirmation = Confirmation{false, 0, {}};
    record.confirm(first, 1);
  }
  const std::string path = recordPath(folder(), set_);
  const std::string bytes = readFile(path);
  EXPECT_TRUE(bytes.starts_with(std::string(kByteOrderMark) + headerLine()));
  EXPECT_EQ(first.accountSet.name, platform::canonicalPath(mdb_));
  EXPECT_FALSE(first.id.empty());
  EXPECT_FALSE(first.version.empty());

  // Two repairs begun within one millisecond still get ids of their own.
  Repair second = planned({{std::nullopt, false, true}});
  Repair third = planned({{"1002", true, false}});
  {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    ASSERT_EQ(record.repairs().size(), 1u);
    EXPECT_EQ(record.repairs()[0].steps, first.steps);
    faults::reset();
    record.begin(second);
    EXPECT_EQ(syncedPaths(), std::vector<std::string>{record.path()});
    record.begin(third);
  }
  EXPECT_NE(second.id, first.id);
  EXPECT_NE(third.id, second.id);
  const std::string after = readFile(path);
  EXPECT_EQ(after.substr(0, bytes.size()), bytes);  // nothing earlier was rewritten
  const RecordReading reading = readRecord(folder(), set_);
  EXPECT_FALSE(reading.repairUnderWay);
  ASSERT_EQ(reading.repairs.size(), 3u);
  EXPECT_EQ(reading.repairs[1].steps[0].planned, second.steps[0].planned);
  EXPECT_EQ(reading.repairs[2].id, third.id);
}

// Another repair of the account set waits for the one that holds the record, then gives up.
TEST_F(RecordFileTest, ARecordHeldByAnotherRepairIsRefused) {
  RecordFile holder = RecordFile::openForRepair(folder(), set_);
  try {
    RecordFile::openForRepair(folder(), set_);
    ADD_FAILURE() << "opened twice";
  } catch (const RecordError& error) {
    EXPECT_THAT(error.what(), HasSubstr("the repair record " + recordPath(folder(), set_) + " of " +
                                        set_.name + " is in use by another program or repair"));
  }
}

TEST_F(RecordFileTest, AFolderOrFileThatCannotBeMadeIsRefusedWithTheReason) {
  // A file where the folder should be.
  testing::writeBytes((dir_.path() / "state").string(), {'x'});
  try {
    RecordFile::openForRepair(folder(), set_);
    ADD_FAILURE() << "opened";
  } catch (const RecordError& error) {
    EXPECT_THAT(error.what(), HasSubstr("cannot write the record of repairs: cannot make the "
                                        "folder " +
                                        (dir_.path() / "state").string()));
  }
  fs::remove(dir_.path() / "state");
  // A folder where the file should be.
  fs::create_directories(recordPath(folder(), set_));
  EXPECT_THROW(RecordFile::openForRepair(folder(), set_), RecordError);
  EXPECT_THROW(readRecord(folder(), set_), RecordError);
  fs::remove(recordPath(folder(), set_));
  EXPECT_TRUE(readRecord(folder(), set_).repairs.empty());
  // A link to nothing: neither opened nor made, refused at once rather than tried for ever.
  try {
    fs::create_symlink(dir_.path() / "gone.csv", recordPath(folder(), set_));
  } catch (const fs::filesystem_error&) {
    return;  // links cannot be made here
  }
  try {
    RecordFile::openForRepair(folder(), set_);
    ADD_FAILURE() << "opened";
  } catch (const RecordError& error) {
    EXPECT_THAT(error.what(), HasSubstr(" is not a regular file"));
  }
}

// A write that fails half way (a full disk) is cut back, and a kill or a power cut that left
// half a row behind costs only that row: the record stays open to the next repair, and a
// reader passes the unfinished rows over without writing.
TEST_F(RecordFileTest, RowsLeftUnfinishedAreCutOffNotLockingTheRecord) {
  const std::string path = recordPath(folder(), set_);
  Repair done = planned({{"1001", true, false}});
  {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    record.begin(done);
    done.steps[0].confirmation = Confirmation{false, 1, {}};
    record.confirm(done, 0);
  }
  const std::string whole = readFile(path);
  for (const faults::Fault fault : {faults::Fault::ShortWrite, faults::Fault::NoSpace}) {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    faults::reset();
    faults::failAt(faults::Operation::Write, 1, fault);
    Repair failed = planned({{"1002", true, false}});
    EXPECT_THROW(record.begin(failed), RecordError);
    faults::reset();
    EXPECT_EQ(readFile(path), whole);
  }

  // A repair stopped as it wrote its code rows, then half a confirmation row of the last one.
  Repair stopped = planned({{"1002", true, false}, {"1003", true, false}});
  RecordFile::openForRepair(folder(), set_).begin(stopped);
  const std::string begun = readFile(path);
  const std::string torn = begun.substr(0, begun.size() - 30);
  writeText(path, torn);
  EXPECT_EQ(readRecord(folder(), set_).repairs.size(), 1u);
  writeText(path, begun + begun.substr(whole.size(), 25));
  EXPECT_EQ(readRecord(folder(), set_).repairs.size(), 2u);
  EXPECT_EQ(readFile(path).size(), begun.size() + 25);  // read, not written
  {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    EXPECT_EQ(record.notice(),
              "修复记录 " + path + " 的末尾有写入时被中断、没有写完的内容，已将其删去");
    EXPECT_EQ(readFile(path), begun);
    Repair next = planned({{"1004", true, false}});
    record.begin(next);
  }
  writeText(path, torn);
  EXPECT_TRUE(RecordFile::openForRepair(folder(), set_).notice().size());
  EXPECT_EQ(readFile(path), whole);
  const std::vector<Repair> repairs = readRecord(folder(), set_).repairs;
  ASSERT_EQ(repairs.size(), 1u);
  EXPECT_EQ(repairs[0].steps[0], done.steps[0]);
}

// A file cut short inside its header (the writer stopped as it made it) gets the header anew.
TEST_F(RecordFileTest, AHeaderCutShortIsWrittenAgain) {
  fs::create_directories(folder());
  const std::string path = recordPath(folder(), set_);
  const std::string start = std::string(kByteOrderMark) + "修复编号,记";
  testing::writeBytes(path, std::vector<std::uint8_t>(start.begin(), start.end()));
  Repair repair = planned({{"1001", true, false}});
  RecordFile record = RecordFile::openForRepair(folder(), set_);
  faults::reset();
  record.begin(repair);
  // The file may have been made by a run that stopped before its name was durable.
  EXPECT_EQ(syncedPaths(), (std::vector<std::string>{path, folder()}));
  EXPECT_TRUE(readFile(path).starts_with(std::string(kByteOrderMark) + headerLine()));
  EXPECT_EQ(readRecord(folder(), set_).repairs.size(), 1u);
}

TEST(RecordNameTest, EachAccountSetHasAFileAPersonRecognises) {
  const AccountSet there{{}, "/data/2024/科目 2024.mdb"}, elsewhere{{}, "/data/2023/科目 2024.mdb"};
  const std::string name = there.recordFileName();
  EXPECT_TRUE(name.starts_with("科目 2024.mdb (") && name.ends_with(").csv")) << name;
  EXPECT_EQ(name.size(), std::string("科目 2024.mdb (12345678).csv").size());
  EXPECT_NE(there.recordFileName(), elsewhere.recordFileName());
  const AccountSet server = AccountSet::serverDatabase("HOST\\SQL:1", "pelkor_001_2024");
  EXPECT_THAT(server.recordFileName(), ::testing::StartsWith("pelkor_001_2024 on host_sql_1 ("));
  EXPECT_EQ(server.recordFileName(),
            AccountSet::serverDatabase("host\\sql:1", "PELKOR_001_2024").recordFileName());
  EXPECT_TRUE(server.sameAs(AccountSet::serverDatabase("host\\sql:1", "PELKOR_001_2024")));
  EXPECT_FALSE(server.sameAs(AccountSet{{}, "pelkor_001_2024"}));
  const std::string native = platform::nativePath("/账套/a.mdb.");
  EXPECT_EQ(AccountSet({{}, native}).recordFileName().substr(0, 6), "a.mdb ");
}

}  // namespace
}  // namespace leafward::record
