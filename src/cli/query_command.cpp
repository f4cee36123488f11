#include <cctype>
#include <ostream>
#include <stdexcept>
#include <string_view>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/reasons.h"
#include "connection/shared_connection.h"
#include "dataaccess/ascii.h"
#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

namespace leafward::cli {
namespace {

// Whether the statement is a query. `query` only reads: an UPDATE given to it would change the
// file and then report a failure, as it returns no rows.
bool isSelect(std::string_view statement) {
  const auto start = statement.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  const std::string_view word = statement.substr(start, 6);
  return dataaccess::equalsIgnoringCase(word, "SELECT") &&
         (statement.size() == start + 6 ||
          !std::isalnum(static_cast<unsigned char>(statement[start + 6])));
}

}  // namespace

int runQuery(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = words;
  std::optional<std::string> codePage;
  std::string failure;
  try {
    codePage = takeValue(args, "--code-page");
    args = takeOperands(args);
    if (args.size() != 2) failure = "query needs a file and a SELECT statement";
  } catch (const std::invalid_argument& error) {
    failure = error.what();
  }
  if (!failure.empty()) {
    writeReason(err, failure);
    err << "usage: leafward-cli query [--code-page N] FILE \"SELECT ...\"\n";
    return 2;
  }
  if (!isSelect(args[1])) {
    writeReason(err, "query runs only SELECT statements (update repairs the flags)");
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
