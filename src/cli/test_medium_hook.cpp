#include "cli/test_medium_hook.h"

#include "platform/file_faults.h"
#include "platform/program_text.h"

namespace leafward::cli {

void installTestMediumHook() {
  if (!platform::environmentVariable("LEAFWARD_TEST_READ_ONLY_MEDIUM")) return;
  using platform::faults::Fault;
  using platform::faults::Operation;
  platform::faults::failAt(Operation::OpenForWriting, 1, Fault::ReadOnly, true);
  platform::faults::failAt(Operation::Remove, 1, Fault::ReadOnly, true);
}

}  // namespace leafward::cli
