// The record file on disk: where it is, what its bytes are, that rows are only appended, that
// a repair holds it, and that a file that cannot be made is refused with the reason.
#include "record/record_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file.h"
#include "support/files.h"

namespace leafward::record {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::readFile;

Repair planned(std::vector<CodeChange> codes) {
  Repair repair;
  repair.steps = {{Direction::NonLeaf, "update code Set [bend] = 0 ...", std::move(codes), {}},
                  {Direction::Leaf, "update code Set [bend] = true ...", {}, {}}};
  return repair;
}

class RecordFileTest : public ::testing::Test {
 protected:
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
    record.begin(first);
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
    record.begin(second);
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
    EXPECT_THAT(error.what(), HasSubstr("another repair of " + set_.name + " holds its record"));
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
}

// A file cut short inside its header (the writer stopped as it made it) gets the header anew.
TEST_F(RecordFileTest, AHeaderCutShortIsWrittenAgain) {
  fs::create_directories(folder());
  const std::string path = recordPath(folder(), set_);
  const std::string start = std::string(kByteOrderMark) + "修复编号,记";
  testing::writeBytes(path, std::vector<std::uint8_t>(start.begin(), start.end()));
  Repair repair = planned({{"1001", true, false}});
  RecordFile::openForRepair(folder(), set_).begin(repair);
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
  EXPECT_EQ(AccountSet({{}, "C:\\账套\\a.mdb."}).recordFileName().substr(0, 6), "a.mdb ");
}

}  // namespace
}  // namespace leafward::record
