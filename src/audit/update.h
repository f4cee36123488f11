#pragma once

#include <cstdint>
#include <string>

#include "audit/workbench.h"
#include "connection/shared_connection.h"

namespace leafward::audit {

// How one repair statement went.
struct RepairOutcome {
  std::int64_t count = 0;  // rows it changed; 0 when it failed
  bool failed = false;
  std::string failure;  // the database's reason, when it failed
};

struct UpdateOutcome {
  bool ran = false;       // false: no connection was open and nothing happened
  RepairOutcome nonLeaf;  // codes with sub-accounts set to non-leaf
  RepairOutcome leaf;     // codes without sub-accounts set to leaf
  // Why the record of the repair could not be written (see runRecordedUpdate); empty when it
  // was, or when there was nothing to record.
  std::string recordFailure;
};

// The Update command: repairs the leaf flags by the code hierarchy with two statements, and
// appends a line for each that changed rows with the number it changed, however large. A
// statement the database refuses does not pass for one that found nothing to repair: a line
// says which repair failed and why, and the other statement still runs. Anything else the
// database says of a statement (that a journal's removal may not be durable) follows its line. The
// window ignores the outcome; the command-line tool turns it into an exit code.
UpdateOutcome runUpdate(connection::SharedConnection& shared, Workbench& bench);

}  // namespace leafward::audit
