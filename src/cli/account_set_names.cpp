#include "cli/account_set_names.h"

#include "cli/server_target.h"
#include "connection/server_connection_string.h"

namespace leafward::cli {

std::vector<std::string> listAccountSetNames(connection::SharedConnection& shared,
                                             const std::string& server,
                                             const std::string& password) {
  openServer(shared, ServerTarget{server, std::nullopt}, password);
  shared.strSQL = connection::kAccountSetQuery;
  shared.executeQuery();
  std::vector<std::string> names;
  for (auto& rows = *shared.rsData; !rows.eof(); rows.moveNext()) {
    names.push_back(rows.field("name").toText());
  }
  return names;
}

}  // namespace leafward::cli
