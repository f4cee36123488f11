#include "dataaccess/jet/write/write_hooks.h"

namespace leafward::jet {
namespace {

WriteStepHook installedHook = nullptr;

}  // namespace

void setWriteStepHook(WriteStepHook hook) {
  installedHook = hook;
}

void reachedWriteStep(WriteStep step, std::size_t count) {
  if (installedHook) installedHook(step, count);
}

}  // namespace leafward::jet
