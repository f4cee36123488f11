#include "support/flag_scan.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/files.h"
#include "support/oracle.h"

namespace leafward::jet {
namespace {

// The scan finds each row's Yes/No bit where mdb-export reads it: same rows, same order, same
// values, in Jet 3 and Jet 4 files written by Access. (The writer's tests scan the account sets
// with moved and deleted rows and check every bit they write against mdb-export.)
TEST(FlagScanTest, AgreesWithMdbExport) {
  LEAFWARD_NEEDS_MDBTOOLS();
  for (const auto& [file, table, column] :
       {std::tuple{"account-sets/consistent.mdb", "code", "bend"},
        {"account-sets/odd-codes.mdb", "code", "bend"},
        {"account-sets/empty-code.mdb", "code", "bend"},
        {"account-sets/bend-indexed-1k.mdb", "code", "bcash"},
        {"jet-samples/testV1997.mdb", "Table1", "I"},
        {"jet-samples/test2V2000.mdb", "MSP_PROJECTS", "PROJ_OPT_NEW_ARE_EFFORT_DRIVEN"}}) {
    SCOPED_TRACE(std::string(file) + " " + column);
    const std::string path = testing::fixture(file);
    const auto exported = testing::mdbExport(path, table);
    const auto scanned = testing::scanFlags(path, table, column);
    ASSERT_EQ(scanned.size(), exported.rows.size());
    const std::size_t index = exported.columnIndex(column);
    for (std::size_t i = 0; i < scanned.size(); ++i) {
      ASSERT_EQ(scanned[i].value ? "1" : "0", exported.rows[i][index]) << "row " << i;
    }
  }
}

}  // namespace
}  // namespace leafward::jet
