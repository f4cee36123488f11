#include "cli/test_kill_hook.h"

#include "dataaccess/jet/write/write_hooks.h"
#include "platform/file_faults.h"
#include "platform/process.h"
#include "platform/program_text.h"

namespace leafward::cli {
namespace {

std::size_t killAt = 0;
std::size_t reached = 0;

void killAtChosenStep(jet::WriteStep /*step*/, std::size_t /*count*/) {
  if (++reached == killAt) platform::killCurrentProcess();
}

// A count from the environment; 0 when the variable is unset or not a count.
std::size_t countIn(const char* name) {
  const auto value = platform::environmentVariable(name);
  if (!value) return 0;
  std::size_t count = 0;
  for (const char c : *value) {
    if (c < '0' || c > '9' || count > 1'000'000'000) return 0;
    count = count * 10 + static_cast<std::size_t>(c - '0');
  }
  return count;
}

}  // namespace

void installTestKillHook() {
  if (const std::size_t change = countIn("LEAFWARD_TEST_KILL_AT_CHANGE")) {
    platform::faults::killBeforeChange(change);
  }
  killAt = countIn("LEAFWARD_TEST_KILL_AT_WRITE_STEP");
  if (killAt != 0) jet::setWriteStepHook(&killAtChosenStep);
}

}  // namespace leafward::cli
