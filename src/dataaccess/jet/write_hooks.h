#pragma once

#include <cstddef>

namespace leafward::jet {

// The points of a statement's write where a test may stop the process, to prove that a kill
// anywhere leaves the file recoverable.
enum class WriteStep {
  JournalRecordWritten,  // count: records written so far (not yet synced)
  JournalSynced,         // the journal is complete and durable; the file is untouched
  PageWritten,           // count: pages of the file overwritten so far (not yet synced)
  FileSynced,            // every page is written and durable; the journal is still there
  JournalRemoved,        // the journal's name is gone, the folder not yet synced
};

// Test-only: called at every step. A hook may end the process (for instance with SIGKILL).
using WriteStepHook = void (*)(WriteStep step, std::size_t count);
void setWriteStepHook(WriteStepHook hook);

// Called by the writer at each step; costs one pointer test when no hook is set.
void reachedWriteStep(WriteStep step, std::size_t count);

}  // namespace leafward::jet
