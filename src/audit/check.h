#pragma once

#include <string>
#include <vector>

#include "audit/workbench.h"
#include "connection/shared_connection.h"

namespace leafward::audit {

enum class CheckEnd {
  NotOpen,     // no connection was open: nothing happened
  EndedEarly,  // a query gave no rows or there were no codes: no verdict, the window is
               // left busy until the next clock tick
  Finished,    // the report holds the verdict
};

struct CheckOutcome {
  CheckEnd end = CheckEnd::NotOpen;
  // Why the query that ended the check early failed; empty when none failed.
  std::string failure;
  // What the database said besides (a journal left beside a file that was read all the same).
  std::vector<std::string> notices;
};

// The Check command: lists the codes whose leaf flag contradicts the code hierarchy, audits
// the coding scheme, and says "没有发现错误" when the box is empty at the end. The window
// ignores the outcome; the command-line tool turns it into an exit code and prints the notices.
CheckOutcome runCheck(connection::SharedConnection& shared, Workbench& bench);

}  // namespace leafward::audit
