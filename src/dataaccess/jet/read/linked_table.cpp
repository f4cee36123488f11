#include "dataaccess/jet/read/linked_table.h"

#include <string_view>

#include "dataaccess/ascii.h"

namespace leafward::jet {
namespace {

// Catalog text shown on one line: control characters become '?'.
std::string shown(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::string linkedFileOf(const std::string& database, const std::string& connect) {
  if (!database.empty()) return database;
  // Entries of the connect string are separated by ';'; the first is the source's type.
  for (std::size_t start = 0; start <= connect.size();) {
    std::size_t end = connect.find(';', start);
    if (end == std::string::npos) end = connect.size();
    const std::string_view entry = std::string_view(connect).substr(start, end - start);
    const std::size_t equals = entry.find('=');
    if (equals != std::string_view::npos &&
        dataaccess::equalsIgnoringCase(trimmed(entry.substr(0, equals)), "DATABASE")) {
      return std::string(trimmed(entry.substr(equals + 1)));
    }
    start = end + 1;
  }
  return {};
}

std::string linkedTableMessage(const LinkedTable& link) {
  const std::string foreign =
      link.foreignName.empty() ? "a table" : "the table '" + shown(link.foreignName) + "'";
  std::string message = "The table '" + shown(link.name) + "' is a link to " + foreign;
  if (link.odbc) return message + " of an ODBC data source; its rows are not in this file";
  if (link.file.empty()) {
    return message +
           " in another file, which the link does not name; its rows are not in this "
           "file";
  }
  return message + " in the file " + shown(link.file) + "; open that file to read it";
}

}  // namespace leafward::jet
