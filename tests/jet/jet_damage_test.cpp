// Damaged copies of real files must read or fail with a DataAccessError: never crash, hang,
// throw anything else or let the library underneath write to standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <optional>
#include <random>

#include "dataaccess/errors.h"
#include "jet_test_support.h"

namespace leafward::jet {
namespace {

using testing::TempDir;

struct Outcome {
  int read = 0;
  int refused = 0;
};

// The tables' contents, or nothing when the file is refused.
std::optional<std::string> readOrRefuse(const std::string& path, Outcome& outcome) {
  try {
    std::string dump = testing::dumpEveryTable(path);
    ++outcome.read;
    return dump;
  } catch (const dataaccess::DataAccessError&) {
    ++outcome.refused;
    return std::nullopt;
  }
}

std::size_t pageSizeOf(const std::vector<std::uint8_t>& file) {
  return file.at(0x14) == 0 ? 2048 : 4096;
}

// Pages of the given types.
std::vector<std::size_t> pagesOf(const std::vector<std::uint8_t>& file,
                                 std::initializer_list<std::uint8_t> types) {
  const std::size_t pageSize = pageSizeOf(file);
  std::vector<std::size_t> pages;
  for (std::size_t page = 1; page < file.size() / pageSize; ++page) {
    if (std::find(types.begin(), types.end(), file[page * pageSize]) != types.end()) {
      pages.push_back(page);
    }
  }
  return pages;
}

class JetDamageTest : public ::testing::TestWithParam<std::string> {};

TEST_P(JetDamageTest, TruncatedCopiesReadOrFailCleanly) {
  const auto original = testing::readBytes(testing::fixture(GetParam()));
  const std::size_t pageSize = pageSizeOf(original);
  const std::size_t pages = original.size() / pageSize;
  const std::size_t step = std::max<std::size_t>(1, pages / 64);
  TempDir dir;
  const std::string copy = dir.file("cut.mdb");
  const std::string whole = testing::dumpEveryTable(testing::fixture(GetParam()));
  Outcome outcome;
  testing::StderrCapture stderrText;
  for (std::size_t page = 0; page < pages; page += step) {
    for (std::size_t extra : {std::size_t{0}, std::size_t{1}, pageSize / 2}) {
      const std::size_t size = page * pageSize + extra;
      testing::writeBytes(copy,
                          std::vector<std::uint8_t>(original.begin(), original.begin() + size));
      SCOPED_TRACE("size " + std::to_string(size));
      const auto dump = readOrRefuse(copy, outcome);
      // Access leaves unused pages at the end of a file; a copy without them reads the same.
      if (dump) {
        EXPECT_EQ(*dump, whole);
      }
      if (extra != 0) {
        EXPECT_FALSE(dump);
      }
    }
  }
  EXPECT_EQ(stderrText.text(), "");
  EXPECT_GT(outcome.refused, 0);
}

TEST_P(JetDamageTest, CopiesWithFlippedBytesReadOrFailCleanly) {
  const auto original = testing::readBytes(testing::fixture(GetParam()));
  const std::size_t pageSize = pageSizeOf(original);
  // Damage where the reader can meet it: data, definitions and page maps. Every third copy is
  // damaged in table definitions only, which libmdb parses.
  const auto structural = pagesOf(original, {0x01, 0x02, 0x05});
  const auto definitions = pagesOf(original, {0x02});
  TempDir dir;
  const std::string copy = dir.file("flipped.mdb");
  Outcome outcome;
  testing::StderrCapture stderrText;
  constexpr unsigned kSeeds = 250;
  for (unsigned seed = 1; seed <= kSeeds; ++seed) {
    std::mt19937 random(seed);
    auto damaged = original;
    const auto& pages = seed % 3 == 0 ? definitions : structural;
    const unsigned flips = std::array<unsigned, 4>{1, 3, 12, 60}[seed % 4];
    for (unsigned i = 0; i < flips; ++i) {
      const std::size_t page = pages[random() % pages.size()];
      // Most of a page's structure sits near its start (headers, row tables) and its end
      // (the first rows), so aim there half of the time.
      std::size_t offset = random() % pageSize;
      if (random() % 2 == 0) offset = random() % 2 == 0 ? offset % 96 : pageSize - 1 - offset % 96;
      damaged[page * pageSize + offset] ^= static_cast<std::uint8_t>(1 + random() % 255);
    }
    if (seed % 10 == 0) {
      // Now and then a whole page of noise.
      const std::size_t page = pages[random() % pages.size()];
      for (std::size_t i = 1; i < pageSize; ++i) {
        damaged[page * pageSize + i] = static_cast<std::uint8_t>(random());
      }
    }
    testing::writeBytes(copy, damaged);
    SCOPED_TRACE("seed " + std::to_string(seed));
    try {
      testing::readEveryTable(copy);
      ++outcome.read;
    } catch (const dataaccess::DataAccessError&) {
      ++outcome.refused;
    }
  }
  EXPECT_EQ(stderrText.text(), "");
  EXPECT_EQ(outcome.read + outcome.refused, static_cast<int>(kSeeds));
  EXPECT_GT(outcome.refused, 0);
  std::cout << GetParam() << ": " << outcome.read << " read, " << outcome.refused << " refused\n";
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, JetDamageTest,
    ::testing::Values("account-sets/consistent.mdb", "account-sets/overflow-2k.mdb",
                      "account-sets/deleted-2k.mdb", "account-sets/realistic-5k.mdb",
                      "jet-samples/testV1997.mdb", "jet-samples/nwind.mdb",
                      "jet-samples/testUnicodeCompV2003.mdb", "jet-samples/delColTestV2000.mdb",
                      "jet-samples/test2V2000.mdb"),
    [](const ::testing::TestParamInfo<std::string>& info) {
      std::string name = std::filesystem::path(info.param).stem().string();
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace leafward::jet
