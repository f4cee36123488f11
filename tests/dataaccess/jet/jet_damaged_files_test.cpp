// Files that are not readable account sets are refused with a message that says why; damaged
// copies of real files read or fail with a DataAccessError, never crash, hang or throw anything
// else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <random>

#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_session.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// The message of the DataAccessError that opening `path` throws.
std::string openFailure(const std::string& path) {
  try {
    openJetSession(path);
  } catch (const dataaccess::DataAccessError& error) {
    return error.what();
  }
  return "(opened)";
}

// A copy of a real file with `edit` applied.
Bytes edited(const std::function<void(Bytes&)>& edit,
             const std::string& fixture = "account-sets/consistent.mdb") {
  Bytes bytes = testing::readBytes(testing::fixture(fixture));
  edit(bytes);
  return bytes;
}

TEST(JetBadFilesTest, MissingEmptyAndNonFilesAreRefusedWithTheirReason) {
  testing::TempDir dir;
  EXPECT_THAT(openFailure(dir.file("missing.mdb")), HasSubstr("does not exist"));
  EXPECT_THAT(openFailure(dir.file("no-folder/x.mdb")), HasSubstr("does not exist"));
  EXPECT_THAT(openFailure(dir.path().string()), HasSubstr("is a folder"));
  EXPECT_THAT(openFailure(""), HasSubstr("No file name"));
#ifndef _WIN32  // Windows has no named pipes in the file system
  ::mkfifo(dir.file("pipe.mdb").c_str(), 0600);
  EXPECT_THAT(openFailure(dir.file("pipe.mdb")), HasSubstr("is not a regular file"));
#endif
}

TEST(JetBadFilesTest, BadContentsAreRefusedWithTheirReason) {
  const Bytes whole = testing::readBytes(testing::fixture("account-sets/consistent.mdb"));
  const auto cut = [&](std::size_t size) { return Bytes(whole.begin(), whole.begin() + size); };
  const std::string text = "ccode,bend\n1001,0\n100101,1\n";
  std::mt19937 random(7);
  Bytes noise(65536);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  const std::string ace = "Standard ACE DB";

  const std::vector<std::pair<Bytes, std::string>> cases = {
      {{}, "is empty"},
      {Bytes(text.begin(), text.end()), "is not an Access database"},
      {noise, "is not an Access database"},
      {edited([](Bytes& b) { b[0x14] = 9; }), "unknown Jet version 9"},
      {edited([&](Bytes& b) { std::copy(ace.begin(), ace.end(), b.begin() + 4), b[0x14] = 2; }),
       "Access 2007 or later"},
      {edited([](Bytes& b) { b[0x14] = 3; }), "Access 2007 or later"},
      // The header's fields lie under a fixed XOR stream: flipping a stored bit flips the field.
      {edited([](Bytes& b) { b[0x3E] ^= 0x5A; }), "is encrypted"},
      {edited([](Bytes& b) { b[0x42] ^= 'p'; }), "protected by a database password"},
      {edited([](Bytes& b) { b[0x42 + 19] ^= 'z'; }, "jet-samples/testV1997.mdb"),
       "protected by a database password"},
      {cut(100), "is truncated"},
      {cut(4096 * 2), "is truncated"},
      {cut(whole.size() - 1), "not a whole number of 4096-byte pages"},
      {cut(whole.size() - 4096), "is truncated"},  // whole pages, but table pages are gone
      // The code table (page 24) holds at most 2 columns: its second column cannot be number 2.
      {edited([](Bytes& b) { b[24 * 4096 + 63 + 12 + 25 + 5] = 2; }),
       "definition of table code has impossible column numbers"},
      // AccInformation's page-map pointer names row 44 of a page with a few rows; mdb-export
      // crashes on this copy.
      {edited([](Bytes& b) { b[29 * 4096 + 55] ^= 44; }),
       "damaged: the page map of table AccInformation is missing"},
  };
  testing::TempDir dir;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const std::string path = dir.file(i == 4 ? "new.accdb" : "bad.mdb");
    testing::writeBytes(path, cases[i].first);
    EXPECT_THAT(openFailure(path), HasSubstr(cases[i].second));
  }
}

// Every column of every user table as text, one line per row.
std::string dumpEveryTable(const std::string& path) {
  testing::OpenDatabase open(path);
  JetTableSource source(open.database);
  std::string dump;
  for (const auto& table : open.database.tables()) {
    dump += "[" + table.definition.name + "]\n";
    for (const auto& row : testing::readAll(source, table.definition.name)) {
      for (const auto& value : row) dump += (value.isNull() ? "NULL" : value.toText()) + "|";
      dump += "\n";
    }
  }
  return dump;
}

// The tables' contents, or nothing when the file is refused.
std::optional<std::string> readOrRefuse(const std::string& path, int& refused) {
  try {
    return dumpEveryTable(path);
  } catch (const dataaccess::DataAccessError&) {
    ++refused;
    return std::nullopt;
  }
}

class JetDamageTest : public ::testing::TestWithParam<std::string> {
 protected:
  const std::vector<std::uint8_t> original_ = testing::readBytes(testing::fixture(GetParam()));
  const std::size_t pageSize_ = original_.at(0x14) == 0 ? 2048 : 4096;
  testing::TempDir dir_;
  const std::string copy_ = dir_.file("damaged.mdb");
  int refused_ = 0;
};

TEST_P(JetDamageTest, TruncatedCopiesReadTheSameOrFailCleanly) {
  const std::size_t pages = original_.size() / pageSize_;
  const std::string whole = dumpEveryTable(testing::fixture(GetParam()));
  for (std::size_t page = 0; page < pages; page += std::max<std::size_t>(1, pages / 40)) {
    for (std::size_t extra : {std::size_t{0}, pageSize_ / 2}) {
      const std::size_t size = page * pageSize_ + extra;
      testing::writeBytes(copy_, {original_.begin(), original_.begin() + size});
      SCOPED_TRACE("size " + std::to_string(size));
      const auto dump = readOrRefuse(copy_, refused_);
      // Access leaves unused pages at the end of a file; a copy without them reads the same.
      EXPECT_EQ(dump.value_or(whole), whole);
      EXPECT_TRUE(extra == 0 || !dump);
    }
  }
  EXPECT_GT(refused_, 0);
}

TEST_P(JetDamageTest, CopiesWithFlippedBytesReadOrFailCleanly) {
  // Damage where the reader can meet it: data, definitions and page maps. Every third copy is
  // damaged in table definitions only.
  std::vector<std::size_t> structural, definitions;
  for (std::size_t page = 1; page < original_.size() / pageSize_; ++page) {
    const std::uint8_t type = original_[page * pageSize_];
    if (type == 0x01 || type == 0x02 || type == 0x05) structural.push_back(page);
    if (type == 0x02) definitions.push_back(page);
  }
  for (unsigned seed = 1; seed <= 80; ++seed) {
    std::mt19937 random(seed);
    auto damaged = original_;
    const auto& pages = seed % 3 == 0 ? definitions : structural;
    for (unsigned i = 0, flips = std::array{1u, 3u, 12u, 60u}[seed % 4]; i < flips; ++i) {
      // Most of a page's structure sits near its start (headers, row tables) and its end
      // (the first rows), so aim there half of the time.
      std::size_t offset = random() % pageSize_;
      if (random() % 2 == 0) offset = random() % 2 ? offset % 96 : pageSize_ - 1 - offset % 96;
      damaged[pages[random() % pages.size()] * pageSize_ + offset] ^=
          static_cast<std::uint8_t>(1 + random() % 255);
    }
    if (seed % 10 == 0) {  // now and then a whole page of noise
      const std::size_t page = pages[random() % pages.size()];
      for (std::size_t i = 1; i < pageSize_; ++i) {
        damaged[page * pageSize_ + i] = static_cast<std::uint8_t>(random());
      }
    }
    testing::writeBytes(copy_, damaged);
    SCOPED_TRACE("seed " + std::to_string(seed));
    readOrRefuse(copy_, refused_);
  }
  EXPECT_GT(refused_, 0);
}

// Jet 4 and Jet 3 page sizes, moved and deleted rows, memo and OLE columns.
INSTANTIATE_TEST_SUITE_P(Fixtures, JetDamageTest,
                         ::testing::Values("account-sets/consistent.mdb",
                                           "account-sets/overflow-2k.mdb",
                                           "account-sets/deleted-2k.mdb",
                                           "jet-samples/testV1997.mdb",
                                           "jet-samples/test2V2000.mdb"),
                         [](const auto& info) { return testing::testName(info.param); });

}  // namespace
}  // namespace leafward::jet
