#pragma once

#include <string>
#include <vector>

#include "audit/findings.h"
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
  // What the check found, as far as it got; the report was written from it.
  Findings findings;
};

// Whether a Check reads the details of the codes it lists (see addDetails) once its own
// statements have run. The report is the same either way.
enum class Details { Read, Skip };

// The Check command: lists the codes whose leaf flag contradicts the code hierarchy, audits
// the coding scheme, and says "没有发现错误" when the box is empty at the end. The window keeps
// the findings for its details; the command-line tool turns them into an exit code or prints
// them, with the notices.
CheckOutcome runCheck(connection::SharedConnection& shared, Workbench& bench,
                      Details details = Details::Read);

}  // namespace leafward::audit
