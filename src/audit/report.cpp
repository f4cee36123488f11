#include "audit/report.h"

#include <string>

namespace leafward::audit {

void replaceReport(Workbench& bench, std::string_view text) {
  bench.setReportText(std::string(text));
}

void appendLine(Workbench& bench, std::string_view part) {
  std::string text = bench.reportText();
  text.append("\r\n").append(part);
  bench.setReportText(std::move(text));
}

void dropLastCharacter(Workbench& bench) {
  std::string text = bench.reportText();
  if (text.empty()) return;
  // A character is a whole UTF-8 sequence: step back over its continuation bytes.
  std::size_t end = text.size() - 1;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.erase(end);
  bench.setReportText(std::move(text));
}

void busyOn(Workbench& bench) {
  bench.setEnabled(false);
  bench.setMousePointer(kPointerHourglass);
}

void busyOff(Workbench& bench) {
  bench.setEnabled(true);
  bench.setMousePointer(kPointerDefault);
}

}  // namespace leafward::audit
