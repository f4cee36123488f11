#include <ostream>

#include "cli/commands.h"
#include "cli/file_options.h"
#include "dataaccess/connection.h"
#include "dataaccess/recordset.h"

namespace leafward::cli {

bool takeFileOptions(std::vector<std::string>& args, FileOptions& options, std::ostream& err) {
  const std::string codePage = "--code-page";
  std::size_t taken = 0;
  while (taken < args.size() && args[taken].starts_with("--")) {
    const std::string& word = args[taken];
    if (word == codePage && taken + 1 < args.size()) {
      options.codePage = args[taken + 1];
      taken += 2;
    } else if (word.starts_with(codePage + "=")) {
      options.codePage = word.substr(codePage.size() + 1);
      taken += 1;
    } else {
      err << "leafward-cli: "
          << (word == codePage ? "--code-page needs a number" : "unknown option '" + word + "'")
          << "\n";
      return false;
    }
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(taken));
  return true;
}

std::string accessConnectionString(const std::string& file, const FileOptions& options) {
  using dataaccess::ConnectionString;
  std::string text =
      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ConnectionString::quoteValue(file) + ";";
  if (options.codePage)
    text += "Code Page=" + ConnectionString::quoteValue(*options.codePage) + ";";
  return text;
}

int runQuery(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = words;
  FileOptions options;
  if (!takeFileOptions(args, options, err)) return 2;
  if (args.size() != 2) {
    err << "usage: leafward-cli query [--code-page N] FILE \"SELECT ...\"\n";
    return 2;
  }
  using namespace dataaccess;
  Connection connection;
  try {
    connection.open(accessConnectionString(args[0], options));
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
    err << "leafward-cli: " << error.what() << "\n";
    return 2;
  }
  out.flush();
  return 0;
}

}  // namespace leafward::cli
