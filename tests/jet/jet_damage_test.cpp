// Damaged copies of real files must read or fail with a DataAccessError: never crash, hang or
// throw anything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <random>

#include "dataaccess/errors.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

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
