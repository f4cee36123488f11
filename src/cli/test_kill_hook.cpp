#include "cli/test_kill_hook.h"

#include "dataaccess/jet/write/write_hooks.h"
#include "platform/process.h"
#include "platform/program_text.h"

namespace leafward::cli {
namespace {

std::size_t killAt = 0;
std::size_t reached = 0;

void killAtChosenStep(jet::WriteStep /*step*/, std::size_t /*count*/) {
  if (++reached == killAt) platform::killCurrentProcess();
}

}  // namespace

void installTestKillHook() {
  const auto value = platform::environmentVariable("LEAFWARD_TEST_KILL_AT_WRITE_STEP");
  if (!value || value->empty()) return;
  std::size_t step = 0;
  for (const char c : *value) {
    if (c < '0' || c > '9' || step > 1'000'000'000) return;
    step = step * 10 + static_cast<std::size_t>(c - '0');
  }
  if (step == 0) return;
  killAt = step;
  jet::setWriteStepHook(&killAtChosenStep);
}

}  // namespace leafward::cli
