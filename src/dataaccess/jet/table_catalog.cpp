#include "dataaccess/jet/table_catalog.h"

#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_database.h"

namespace leafward::jet {

std::uint32_t findTablePage(const std::string& path, std::string_view table) {
  JetDatabase database(path);
  const JetTable* found = database.findTable(table);
  if (!found) {
    throw dataaccess::DataAccessError("the table " + std::string(table) + " does not exist in " +
                                      path);
  }
  return found->layout.definitionPage;
}

}  // namespace leafward::jet
