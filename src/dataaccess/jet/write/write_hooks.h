#pragma once

#include <cstddef>

namespace leafward::jet {

// The points of a statement's write where a test may stop the process, to prove that a kill
// anywhere leaves the file recoverable.
enum class WriteStep {
  JournalRecordWritten,  // count: records written so far, a batch at a time (not yet synced)
  JournalSynced,         // the records are durable, the journal not yet committed
  JournalCommitted,      // the journal is committed and durable; the file is untouched
  PageWritten,           // count: writes to the file so far, each of one page or of a run of
                         // consecutive pages (not yet synced)
  FileSynced,            // every page is written and durable; the journal is still there
  JournalRemoved,        // the journal's name is gone, the folder not yet synced
};

#ifdef LEAFWARD_TEST_HOOKS
// Test builds only: called at every step. A hook may end the process (e.g. with SIGKILL).
using WriteStepHook = void (*)(WriteStep step, std::size_t count);
void setWriteStepHook(WriteStepHook hook);
void reachedWriteStep(WriteStep step, std::size_t count);
#else
// What users run has no hooks: the steps compile to nothing.
inline void reachedWriteStep(WriteStep, std::size_t) {}
#endif

}  // namespace leafward::jet
