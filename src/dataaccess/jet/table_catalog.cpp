#include "dataaccess/jet/table_catalog.h"

#include <mdbtools.h>

#include <memory>

#include "dataaccess/errors.h"

namespace leafward::jet {
namespace {

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (g_ascii_tolower(a[i]) != g_ascii_tolower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::uint32_t findTablePage(const std::string& path, std::string_view table) {
  std::unique_ptr<MdbHandle, decltype(&mdb_close)> mdb(mdb_open(path.c_str(), MDB_NOFLAGS),
                                                       &mdb_close);
  if (!mdb) throw dataaccess::DataAccessError("cannot open " + path + " as an Access database");
  if (!mdb_read_catalog(mdb.get(), MDB_TABLE)) {
    throw dataaccess::DataAccessError("cannot read the list of tables of " + path);
  }
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && sameName(entry->object_name, table)) {
      return static_cast<std::uint32_t>(entry->table_pg);
    }
  }
  throw dataaccess::DataAccessError("the table " + std::string(table) + " does not exist in " +
                                    path);
}

}  // namespace leafward::jet
