#include <ostream>
#include <stdexcept>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/reasons.h"
#include "connection/shared_connection.h"
#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

namespace leafward::cli {

int runQuery(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = words;
  std::optional<std::string> codePage;
  try {
    codePage = takeValue(args, "--code-page");
    args = takeOperands(args);
  } catch (const std::invalid_argument& error) {
    writeReason(err, error.what());
    args.clear();
  }
  if (args.size() != 2) {
    err << "usage: leafward-cli query [--code-page N] FILE \"SELECT ...\"\n";
    return 2;
  }
  using namespace dataaccess;
  Connection connection;
  try {
    connection.open(connection::accessConnectionString(args[0], codePage));
    auto recordset = connection.execute(args[1]);
    if (recordset->state() != kAdStateOpen) throw DataAccessError("The statement returned no rows");
    const std::size_t fields = recordset->fieldCount();
    std::string line;
    for (; !recordset->eof(); recordset->moveNext()) {
      line.clear();
      for (std::size_t i = 0; i < fields; ++i) {
        if (i > 0) line += '\t';
        line += recordset->field(i).toText();
      }
      line += '\n';
      out << line;
    }
  } catch (const DataAccessError& error) {
    writeReason(err, error.what());
    return 2;
  }
  out.flush();
  return 0;
}

}  // namespace leafward::cli
