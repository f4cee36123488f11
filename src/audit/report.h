#pragma once

#include <string_view>

#include "audit/workbench.h"

namespace leafward::audit {

// The report is built only by these three operations, as the original program built the text
// of its result box: the report text is the commands' result, and every report test holds it
// byte for byte (a code list is written with a "," after each code, then the last one dropped).

// The box's text becomes `text`.
void replaceReport(Workbench& bench, std::string_view text);
// The box's text becomes its current text, CR LF, then `part`: appending to an empty box
// leaves an empty first line.
void appendLine(Workbench& bench, std::string_view part);
// Removes the last character (the trailing "," of a code list). An empty box stays empty.
void dropLastCharacter(Workbench& bench);

// Busy: the window disabled, then the hourglass. Idle: enabled, then the default pointer.
void busyOn(Workbench& bench);
void busyOff(Workbench& bench);

}  // namespace leafward::audit
