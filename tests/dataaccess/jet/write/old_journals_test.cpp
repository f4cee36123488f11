// Journals that crashes of earlier builds left beside an .mdb (tests/data/journals, whose README
// says which build wrote each and how). Every later build must judge each one as it was meant:
// these bytes come from those builds, not from this one's writer, so a change to the layout,
// a magic or the checksum that this build's writer and reader would share still fails here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "writer_test_support.h"

namespace leafward::jet {
namespace {

using dataaccess::ErrorKind;
using testing::fileExists;
using testing::readBytes;

constexpr const char* kBefore = "journals/worked-example-before.mdb";
constexpr const char* kStopped = "journals/worked-example-stopped.mdb";

struct LeftBehind {
  const char* name;
  const char* file;     // the .mdb as the crash left it
  const char* journal;  // the journal beside it
  const char* after;    // what the .mdb must hold once it has been opened
  bool kept;            // whether the journal stays
  const char* refusal;  // what the refused open says; nothing when the open goes ahead
};

const LeftBehind kLeftBehind[] = {
    {"Committed010", kStopped, "journals/0.1.0/committed.leafward-journal", kBefore, false, ""},
    {"Torn010", kBefore, "journals/0.1.0/torn.leafward-journal", kBefore, false, ""},
    {"DamagedRecord010", kStopped, "journals/0.1.0/damaged-record.leafward-journal", kStopped, true,
     "is damaged (its record 1 of 1 does not read back whole)"},
    {"DamagedCommit010", kStopped, "journals/0.1.0/damaged-commit.leafward-journal", kBefore, true,
     "is damaged (its end does not match its header)"},
    {"Layout1Of0323f37", kStopped, "journals/0323f37/page-written.leafward-journal", kStopped, true,
     "the journal was written in layout 1, which this program does not read"},
};

void PrintTo(const LeftBehind& left, std::ostream* out) {
  *out << left.name;
}

class OldJournalTest : public ::testing::TestWithParam<LeftBehind> {};

// The file and its journal copied to a folder of their own, under the names a crash leaves, then
// opened as a person's open does: whatever journal lies beside the file is dealt with first. A
// second open writes nothing more.
TEST_P(OldJournalTest, IsJudgedAsTheBuildThatWroteItMeant) {
  const LeftBehind& left = GetParam();
  const testing::TempDir folder;
  const std::string path = folder.copyFixture(left.file, "worked-example.mdb");
  const std::string journal = journalPathFor(platform::canonicalPath(path));
  testing::writeBytes(journal, readBytes(testing::fixture(left.journal)));
  const std::vector<std::uint8_t> journalBytes = readBytes(journal);
  const std::vector<std::uint8_t> after = readBytes(testing::fixture(left.after));
  ErrorKind kind = ErrorKind::General;
  if (*left.refusal == '\0') {
    EXPECT_EQ(testing::openFailure(path), "");
  } else {
    EXPECT_THAT(testing::openFailure(path, &kind), ::testing::HasSubstr(left.refusal));
    EXPECT_EQ(kind, ErrorKind::PendingRollback);
  }
  EXPECT_TRUE(readBytes(path) == after);
  ASSERT_EQ(fileExists(journal), left.kept);
  if (left.kept) {
    EXPECT_EQ(readBytes(journal), journalBytes);
  }
  testing::openFailure(path);
  EXPECT_TRUE(readBytes(path) == after);
}

INSTANTIATE_TEST_SUITE_P(LeftByEarlierBuilds, OldJournalTest, ::testing::ValuesIn(kLeftBehind),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace leafward::jet
