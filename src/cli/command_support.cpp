#include "cli/command_support.h"

#include <algorithm>
#include <ostream>

#include "connection/steps.h"

namespace leafward::cli {

bool openAccountSet(connection::SharedConnection& shared, const std::string& file,
                    std::ostream& err) {
  shared.startUp();
  std::string failure;
  if (connection::attempt([&] { shared.openAccess(file); }, &failure)) return true;
  err << "leafward-cli: cannot open " << file << ": " << onOneLine(failure) << "\n";
  return false;
}

void printReport(const audit::TextWorkbench& bench, std::ostream& out) {
  out << connection::replaceAll(bench.text, "\r\n", "\n") << "\n";
  out.flush();
}

std::string onOneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

}  // namespace leafward::cli
