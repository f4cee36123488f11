#include "dataaccess/jet/flag_scan.h"

#include <gtest/gtest.h>

#include <cctype>

#include "writer_test_support.h"

namespace leafward::jet {
namespace {

using testing::fixturePath;
using testing::mdbExport;

struct FlagColumnCase {
  std::string file;
  std::string table;
  std::string column;
};

void PrintTo(const FlagColumnCase& flag, std::ostream* out) {
  *out << flag.file << " " << flag.table << "." << flag.column;
}

class FlagScanTest : public ::testing::TestWithParam<FlagColumnCase> {};

// The scan finds each row's Yes/No bit where mdb-export reads it: same rows, same order,
// same values, across deleted rows, moved rows, Jet 3 and Jet 4 files written by Access.
TEST_P(FlagScanTest, AgreesWithMdbExport) {
  const auto& param = GetParam();
  std::string path = fixturePath(param.file);
  auto exported = mdbExport(path, param.table);
  auto scanned = scanFlags(path, param.table, param.column);

  ASSERT_EQ(scanned.size(), exported.rows.size());
  std::size_t column = exported.columnIndex(param.column);
  for (std::size_t i = 0; i < scanned.size(); ++i) {
    ASSERT_EQ(scanned[i].value ? "1" : "0", exported.rows[i][column]) << "row " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FlagScanTest,
    ::testing::Values(FlagColumnCase{"account-sets/consistent.mdb", "code", "bend"},
                      FlagColumnCase{"account-sets/odd-codes.mdb", "code", "bend"},
                      FlagColumnCase{"account-sets/empty-code.mdb", "code", "bend"},
                      FlagColumnCase{"account-sets/realistic-5k.mdb", "code", "bend"},
                      FlagColumnCase{"account-sets/realistic-5k.mdb", "code", "bcash"},
                      FlagColumnCase{"account-sets/overflow-2k.mdb", "code", "bend"},
                      FlagColumnCase{"account-sets/deleted-2k.mdb", "code", "bend"},
                      FlagColumnCase{"account-sets/bend-indexed-1k.mdb", "code", "bend"},
                      FlagColumnCase{"jet-samples/nwind.mdb", "Products", "Discontinued"},
                      FlagColumnCase{"jet-samples/testV1997.mdb", "Table1", "I"},
                      FlagColumnCase{"jet-samples/test2V2000.mdb", "MSP_PROJECTS",
                                     "PROJ_OPT_NEW_ARE_EFFORT_DRIVEN"}),
    [](const auto& info) {
      std::string name = info.param.file + "_" + info.param.column;
      for (auto& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(FlagScanTest, MovedRowsReportTheirPointerEntry) {
  auto scanned = scanFlags(fixturePath("account-sets/overflow-2k.mdb"), "code", "bend");
  std::size_t moved = 0;
  for (const auto& row : scanned) {
    if (row.entry == row.location) continue;
    ++moved;
    EXPECT_NE(row.entry.page, row.location.page);
  }
  EXPECT_GT(moved, 100u);
}

}  // namespace
}  // namespace leafward::jet
