// The record file on disk and its anchor: where they are, that rows are only appended and
// anchored, that a record cut short anywhere is refused and the rows of a stopped append cut
// off, that records of Leafward 0.1.0 are found and carried on, that names never collide, and
// that a failing disk leaves a record that still opens.
#include "record/record_file.h"
#include "record/repair_id.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file.h"
#include "platform/file_faults.h"
#include "platform/folders.h"
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
    if (change.operation == faults::Operation::Sync) paths.push_back(change.path);
  }
  return paths;
}

void writeText(const std::string& path, const std::string& text) {
  testing::writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

Repair planned(std::vector<CodeChange> codes) {
  Repair repair;
  repair.steps = {{Direction::NonLeaf, "update code Set [bend] = 0 ...", std::move(codes)},
                  {Direction::Leaf, "update code Set [bend] = true ...", {}}};
  return repair;
}

std::string failureOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const RecordError& error) {
    return error.what();
  }
  return "(no failure)";
}

class RecordFileTest : public ::testing::Test {
 protected:
  void TearDown() override { faults::reset(); }
  std::string folder() const { return (dir_.path() / "state" / "repairs").string(); }
  std::string path() const { return recordPath(folder(), set_); }
  std::string anchor() const { return anchorPath(path()); }

  // A repair begun and both its statements confirmed.
  void repairOnce(const std::string& code) {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    Repair repair = planned({{code, true, false, "7:1"}});
    record.begin(repair);
    for (std::size_t step = 0; step < 2; ++step) {
      repair.steps[step].confirmation = Confirmation{false, step == 0 ? 1 : 0, {}};
      record.confirm(repair, step);
    }
  }

  testing::TempDir dir_;
  const std::string mdb_ = dir_.copyFixture("account-sets/worked-example.mdb");
  const AccountSet set_ = AccountSet::accessFile(mdb_);
};

TEST_F(RecordFileTest, RowsAreAppendedAndAnchoredBeforeAnythingRuns) {
  Repair first = planned({{"1001", true, false, "7:1"}, {"10,\"1", true, false, "7:2"}});
  {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    EXPECT_EQ(record.path(), path());
    EXPECT_TRUE(record.repairs().empty());
    EXPECT_FALSE(fs::exists(anchor()));  // nothing written until something is recorded
    faults::reset();
    record.begin(first);
    // The new file's header and name, then the anchor and its name, then the rows, then the
    // anchor that covers them: all durable before anything runs.
    EXPECT_EQ(syncedPaths(),
              (std::vector<std::string>{path(), folder(), anchor(), folder(), path(), anchor()}));
    const RecordReading meanwhile = readRecord(folder(), set_);
    EXPECT_TRUE(meanwhile.repairUnderWay);
    ASSERT_EQ(meanwhile.repairs.size(), 1u);
    EXPECT_FALSE(meanwhile.repairs[0].finished());
    first.steps[0].confirmation = Confirmation{false, 2, {}};
    faults::reset();
    record.confirm(first, 0);
    EXPECT_EQ(syncedPaths(), (std::vector<std::string>{path(), anchor()}));
    first.steps[1].confirmation = Confirmation{false, 0, {}};
    record.confirm(first, 1);
  }
  const std::string bytes = readFile(path());
  EXPECT_TRUE(bytes.starts_with(std::string(kByteOrderMark) + headerLine()));
  EXPECT_EQ(fs::file_size(anchor()), kAnchorSize);
  EXPECT_EQ(first.accountSet.name, platform::canonicalPath(mdb_));

  // Repairs begun within one millisecond, or with the clock set back, get later ids.
  Repair second = planned({{std::nullopt, false, true}});
  Repair third = planned({{"1002", true, false}});
  {
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    ASSERT_EQ(record.repairs().size(), 1u);  // the last entry: all the next commands need
    EXPECT_FALSE(record.readWhole());
    EXPECT_EQ(record.repairs()[0].steps, first.steps);
    record.begin(second);
    record.begin(third);
  }
  EXPECT_LT(instantOf(first.id), instantOf(second.id));
  EXPECT_LT(instantOf(second.id), instantOf(third.id));
  EXPECT_EQ(readFile(path()).substr(0, bytes.size()), bytes);  // nothing earlier was rewritten
  const RecordReading reading = readRecord(folder(), set_);
  EXPECT_FALSE(reading.repairUnderWay);
  ASSERT_EQ(reading.repairs.size(), 3u);
  EXPECT_EQ(reading.repairs[1].steps[0].planned, second.steps[0].planned);
  EXPECT_EQ(reading.repairs[2].id, third.id);
  // An undo needs its target: the entries from it on are read.
  const std::optional<RecordPeek> peek = RecordFile::peek(folder(), set_);
  ASSERT_TRUE(peek.has_value());
  EXPECT_EQ(peek->repairs.size(), 1u);
}

// A record cut anywhere, to nothing too, is refused with the reason; so are bytes after the
// anchored rows that are not rows Leafward appended, and a record whose anchor is gone.
TEST_F(RecordFileTest, ARecordCutShortAnywhereIsRefused) {
  repairOnce("1001");
  repairOnce("1002");
  const std::string whole = readFile(path());
  for (std::size_t size = 0; size < whole.size(); ++size) {
    writeText(path(), whole.substr(0, size));
    const std::string why = "has been cut short: it holds " + std::to_string(size) + " bytes";
    EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }), HasSubstr(why));
    EXPECT_THAT(failureOf([&] { readRecord(folder(), set_); }), HasSubstr(why));
    EXPECT_THAT(failureOf([&] { RecordFile::peek(folder(), set_); }), HasSubstr(why));
  }
  EXPECT_EQ(readFile(path()).size(), whole.size() - 1);  // refused, never written

  writeText(path(), whole + "junk\r\n");
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("holds bytes that are not rows Leafward appended"));
  EXPECT_THAT(failureOf([&] { readRecord(folder(), set_); }), HasSubstr("not rows Leafward"));
  writeText(path(), whole);
  const std::string anchored = readFile(anchor());
  fs::remove(anchor());
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("holds repairs but its anchor " + anchor() + " is missing"));
  EXPECT_THAT(failureOf([&] { readRecord(folder(), set_); }), HasSubstr("is missing"));
  writeText(anchor(), std::string(kAnchorSize, 'x'));
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("is damaged"));
  // The anchor of another record of the same length does not vouch for this one.
  writeText(anchor(), anchored);
  std::string edited = whole;
  edited[edited.size() - 3] = edited[edited.size() - 3] == 'a' ? 'b' : 'a';
  writeText(path(), edited);
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("checksum does not match"));
  fs::remove(path());
  EXPECT_THAT(failureOf([&] { readRecord(folder(), set_); }),
              HasSubstr(path() + " is missing, but its anchor"));
}

// Rows that read well, but not the rows the anchor was written for (a copy of the record from
// another day of the same length, say), are refused.
TEST_F(RecordFileTest, RowsOtherThanTheAnchoredOnesAreRefused) {
  repairOnce("1001");
  const std::string rows = readFile(path()), anchored = readFile(anchor());
  repairOnce("1002");
  const std::string later = readFile(anchor());
  const auto laterSize = fs::file_size(path());
  writeText(path(), rows);
  writeText(anchor(), anchored);
  repairOnce("1003");  // the same rows but for the code and the times
  ASSERT_EQ(fs::file_size(path()), laterSize);
  writeText(anchor(), later);
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("does not end as its anchor"));
  EXPECT_THAT(failureOf([&] { readRecord(folder(), set_); }), HasSubstr("does not end as its"));
}

// The clock set back behind the last repair's id: the next id is a millisecond after it.
TEST_F(RecordFileTest, AnIdIsLaterThanTheLastOneWhateverTheClockSays) {
  Repair future = planned({{"1001", true, false}});
  future.id = "2999-12-31T23:59:59.999+08:00";
  future.accountSet = set_;
  RowWriter writer = RowWriter::afterHeader();
  const std::string text = std::string(kByteOrderMark) + headerLine() + writer.beginning(future);
  fs::create_directories(folder());
  writeText(path(), text);
  const RecordContents contents = readRecordText(text, set_, path());
  AnchorFile::create(anchor(), {0, text.size(), contents.checksum, contents.places.back(),
                                contents.places.back()});
  RecordFile record = RecordFile::openForRepair(folder(), set_);
  Repair next = planned({{"1002", true, false}});
  record.begin(next);
  EXPECT_EQ(instantOf(next.id), instantOf(future.id) + 1);
}

// An append stopped before its anchor was written leaves rows after the anchored ones, or part
// of them: cut off by the next repair, with a notice; a reader passes them over. A torn slot of
// the anchor leaves the slot before it.
TEST_F(RecordFileTest, TheRowsOfAStoppedAppendAreCutOff) {
  repairOnce("1001");
  const std::string before = readFile(path());
  const std::string anchorBefore = readFile(anchor());
  repairOnce("1002");
  const std::string after = readFile(path());
  for (std::size_t size = before.size(); size <= after.size(); size += 7) {
    writeText(path(), after.substr(0, size));
    writeText(anchor(), anchorBefore);
    EXPECT_EQ(readRecord(folder(), set_).repairs.size(), 1u);
    RecordFile record = RecordFile::openForRepair(folder(), set_);
    EXPECT_EQ(record.notice().empty(), size == before.size());
    EXPECT_EQ(readFile(path()), before);
    ASSERT_EQ(record.repairs().size(), 1u);
    EXPECT_TRUE(record.repairs()[0].finished());
  }
  // The newer slot torn: the older one holds, and the rows it does not cover are cut off.
  repairOnce("1003");
  const std::string full = readFile(path());
  std::string slots = readFile(anchor());
  const auto slotAt = [&](std::size_t index) {
    return decodeSlot(std::span(
        reinterpret_cast<const std::uint8_t*>(slots.data()) + index * kSlotSize, kSlotSize));
  };
  ASSERT_TRUE(slotAt(0) && slotAt(1));
  slots[(slotAt(0)->sequence > slotAt(1)->sequence ? 0 : 1) * kSlotSize + 20] ^= 0x01;
  writeText(anchor(), slots);
  const RecordFile record = RecordFile::openForRepair(folder(), set_);
  EXPECT_FALSE(record.notice().empty());
  EXPECT_LT(readFile(path()).size(), full.size());
  EXPECT_TRUE(full.starts_with(readFile(path())));
}

// A file cut short inside its header (the writer stopped as it made it) gets the header anew.
TEST_F(RecordFileTest, AHeaderCutShortIsWrittenAgain) {
  fs::create_directories(folder());
  const std::string start = std::string(kByteOrderMark) + "修复编号,记";
  writeText(path(), start);
  Repair repair = planned({{"1001", true, false}});
  RecordFile record = RecordFile::openForRepair(folder(), set_);
  faults::reset();
  record.begin(repair);
  // The file may have been made by a run that stopped before its name was durable.
  EXPECT_EQ(syncedPaths().at(1), folder());
  EXPECT_TRUE(readFile(path()).starts_with(std::string(kByteOrderMark) + headerLine()));
  EXPECT_EQ(readRecord(folder(), set_).repairs.size(), 1u);
}

// A record of Leafward 0.1.0 is found under its old name, read as it was (a half-written last
// row cut off), and carried on in layout 2 behind an anchor.
TEST_F(RecordFileTest, ARecordOf010IsFoundAndCarriedOn) {
  const AccountSet old{{}, "/tmp/lw-legacy/sets/worked-example.mdb"};
  fs::create_directories(folder());
  const std::string legacy = platform::childPath(folder(), old.legacyRecordFileName());
  const std::string written = readFile(std::string(LEAFWARD_FIXTURES_DIR) +
                                       "/records-0.1.0/worked-example-update-undo-update.csv");
  writeText(legacy, written + written.substr(written.size() - 100, 30));
  EXPECT_EQ(recordPath(folder(), old), legacy);
  EXPECT_EQ(readRecord(folder(), old).repairs.size(), 3u);
  Repair next = planned({{"1001", false, true}});
  {
    RecordFile record = RecordFile::openForRepair(folder(), old);
    EXPECT_FALSE(record.notice().empty());
    EXPECT_TRUE(record.readWhole());
    EXPECT_EQ(record.repairs().size(), 3u);
    record.begin(next);
  }
  EXPECT_TRUE(readFile(legacy).starts_with(written));
  EXPECT_TRUE(fs::exists(anchorPath(legacy)));
  const RecordReading reading = readRecord(folder(), old);
  ASSERT_EQ(reading.repairs.size(), 4u);
  EXPECT_EQ(reading.repairs[3].id, next.id);
  // Now anchored: a cut into the old rows is refused like any other.
  writeText(legacy, written.substr(0, written.size() - 10));
  EXPECT_THAT(failureOf([&] { readRecord(folder(), old); }), HasSubstr("has been cut short"));
}

// Another repair of the account set waits for the one that holds the record, then gives up.
TEST_F(RecordFileTest, ARecordHeldByAnotherRepairIsRefused) {
  RecordFile holder = RecordFile::openForRepair(folder(), set_);
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("the repair record " + path() + " of " + set_.name +
                        " is in use by another program or repair"));
  const std::optional<RecordPeek> peek = RecordFile::peek(folder(), set_);
  ASSERT_TRUE(peek.has_value());
  EXPECT_TRUE(peek->repairUnderWay);
}

TEST_F(RecordFileTest, AFolderOrFileThatCannotBeMadeIsRefusedWithTheReason) {
  // A file where the folder should be.
  testing::writeBytes((dir_.path() / "state").string(), {'x'});
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("cannot write the record of repairs: cannot make the folder " +
                        (dir_.path() / "state").string()));
  fs::remove(dir_.path() / "state");
  // A folder where the file or its anchor should be.
  const std::string file = path(), anchorFile = anchor();
  fs::create_directories(file);
  EXPECT_THROW(RecordFile::openForRepair(folder(), set_), RecordError);
  EXPECT_THROW(readRecord(folder(), set_), RecordError);
  fs::remove(file);
  EXPECT_TRUE(readRecord(folder(), set_).repairs.empty());
  fs::create_directories(anchorFile);
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr("is not a regular file"));
  fs::remove(anchorFile);
  // A link to nothing: neither opened nor made, refused at once rather than tried for ever.
  try {
    fs::create_symlink(dir_.path() / "gone.csv", file);
  } catch (const fs::filesystem_error&) {
    return;  // links cannot be made here
  }
  EXPECT_THAT(failureOf([&] { RecordFile::openForRepair(folder(), set_); }),
              HasSubstr(" is not a regular file"));
}

// A write or a flush that fails anywhere in an append leaves a record that opens, without the
// repair that could not be written down; nothing is cut short.
TEST_F(RecordFileTest, AFailingDiskLeavesARecordThatStillOpens) {
  repairOnce("1001");
  const std::string record = readFile(path()), anchored = readFile(anchor());
  faults::reset();
  repairOnce("1002");
  const std::size_t writes = faults::count(faults::Operation::Write);
  const std::size_t syncs = faults::count(faults::Operation::Sync);
  ASSERT_GE(writes, 6u);  // a repair's rows and each confirmation, each then its anchor
  ASSERT_GE(syncs, 6u);
  for (const faults::Operation operation : {faults::Operation::Write, faults::Operation::Sync}) {
    const std::size_t count = operation == faults::Operation::Write ? writes : syncs;
    for (std::size_t nth = 1; nth <= count; ++nth) {
      for (const faults::Fault fault :
           {faults::Fault::IoError, faults::Fault::NoSpace, faults::Fault::ShortWrite}) {
        writeText(path(), record);
        writeText(anchor(), anchored);
        faults::reset();
        faults::failAt(operation, nth, fault);
        EXPECT_THROW(repairOnce("1002"), RecordError);
        faults::reset();
        const std::string where = "fault at write or sync " + std::to_string(nth);
        ASSERT_NO_THROW(readRecord(folder(), set_)) << where;
        EXPECT_GE(readRecord(folder(), set_).repairs.size(), 1u) << where;
        // What could not be written was taken back there and then: nothing is left to cut.
        std::string notice = "(refused)";
        ASSERT_NO_THROW(notice = RecordFile::openForRepair(folder(), set_).notice()) << where;
        EXPECT_EQ(notice, "") << where;
        EXPECT_TRUE(readFile(path()).starts_with(record)) << where;
      }
    }
  }
}

TEST(RecordNameTest, EachAccountSetHasItsOwnFileAPersonRecognises) {
  const AccountSet there{{}, "/data/2024/科目 2024.mdb"}, elsewhere{{}, "/data/2023/科目 2024.mdb"};
  const std::string name = there.recordFileName();
  EXPECT_EQ(name, "科目 2024.mdb (38ff4e17cd3b643e).csv");
  EXPECT_EQ(there.legacyRecordFileName(), "科目 2024.mdb (37f3773e).csv");
  EXPECT_EQ(there.recordFileName(3), "科目 2024.mdb (38ff4e17cd3b643e-3).csv");
  EXPECT_NE(there.recordFileName(), elsewhere.recordFileName());
  const AccountSet server = AccountSet::serverDatabase("HOST\\SQL:1", "pelkor_001_2024");
  EXPECT_THAT(server.recordFileName(), ::testing::StartsWith("pelkor_001_2024 on host_sql_1 ("));
  EXPECT_EQ(server.recordFileName(),
            AccountSet::serverDatabase("host\\sql:1", "PELKOR_001_2024").recordFileName());
  EXPECT_TRUE(server.sameAs(AccountSet::serverDatabase("host\\sql:1", "PELKOR_001_2024")));
  EXPECT_FALSE(server.sameAs(AccountSet{{}, "pelkor_001_2024"}));
  const std::string native = platform::nativePath("/账套/a.mdb.");
  EXPECT_EQ(AccountSet({{}, native}).recordFileName().substr(0, 6), "a.mdb ");
  // A long name is cut at its limit between characters, never inside one.
  for (std::size_t extra = 0; extra < 3; ++extra) {
    std::string folderName = "/d/" + std::string(extra, 'b');
    for (int i = 0; i < 60; ++i) folderName += "账";
    const std::string file = AccountSet{{}, folderName + ".mdb"}.recordFileName();
    const std::string shown = file.substr(0, file.find(" ("));
    EXPECT_LE(shown.size(), 120u);
    EXPECT_GE(shown.size(), 118u);
    EXPECT_EQ((shown.size() - extra) % 3, 0u) << file;
  }
}

// Another account set's record under the name, by a hash that collides, is passed by.
TEST(RecordNameTest, ARecordOfAnotherAccountSetUnderTheNameIsPassedBy) {
  testing::TempDir dir;
  const std::string folder = dir.path().string();
  const AccountSet mine = AccountSet::serverDatabase("h", "pelkor_001_2024");
  const AccountSet other = AccountSet::serverDatabase("h", "pelkor_002_2024");
  Repair repair = planned({{"1", true, false}});
  RecordFile::openForRepair(folder, other).begin(repair);
  // The other's record moved under both of my names, as a collision would put it there.
  fs::rename(recordPath(folder, other), platform::childPath(folder, mine.recordFileName()));
  fs::rename(anchorPath(recordPath(folder, other)),
             anchorPath(platform::childPath(folder, mine.recordFileName())));
  fs::copy(platform::childPath(folder, mine.recordFileName()),
           platform::childPath(folder, mine.legacyRecordFileName()));
  EXPECT_EQ(recordPath(folder, mine), platform::childPath(folder, mine.recordFileName(2)));
  Repair own = planned({{"2", true, false}});
  RecordFile::openForRepair(folder, mine).begin(own);
  EXPECT_EQ(readRecord(folder, mine).repairs.at(0).id, own.id);
}

}  // namespace
}  // namespace leafward::record
