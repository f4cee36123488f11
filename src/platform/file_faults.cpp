#include "platform/file_faults.h"

#include <array>
#include <mutex>

#include "platform/process.h"
#include "platform/system_error.h"

namespace leafward::platform::faults {
namespace {

struct Plan {
  Operation operation;
  std::size_t nth;
  Fault fault;
  bool persistent;
};

// A test may read a file on one thread while another writes it: every file operation of both
// comes through here, so the plan and the counts are taken under one lock.
std::mutex state;
std::vector<Plan> plans;
std::array<std::size_t, 9> counts{};
std::vector<Change> changed;
std::size_t killAt = 0;
Watcher watcher = nullptr;

}  // namespace

void failAt(Operation operation, std::size_t nth, Fault fault, bool persistent) {
  const std::lock_guard lock(state);
  plans.push_back(Plan{operation, nth, fault, persistent});
}

void killBeforeChange(std::size_t nth) {
  const std::lock_guard lock(state);
  killAt = nth;
}

void watch(Watcher watching) {
  const std::lock_guard lock(state);
  watcher = watching;
}

void reset() {
  const std::lock_guard lock(state);
  killAt = 0;
  watcher = nullptr;
  plans.clear();
  counts.fill(0);
  changed.clear();
}

std::size_t count(Operation operation) {
  const std::lock_guard lock(state);
  return counts.at(static_cast<std::size_t>(operation));
}

const std::vector<Change>& changes() {
  return changed;
}

std::optional<Fault> take(Operation operation, const std::string& path, std::size_t bytes) {
  Watcher watching = nullptr;
  {
    const std::lock_guard lock(state);
    watching = watcher;
  }
  // Outside the lock: a watcher may act on files itself.
  if (watching) watching(operation, path);
  const std::lock_guard lock(state);
  const std::size_t n = ++counts.at(static_cast<std::size_t>(operation));
  if (operation == Operation::Write || operation == Operation::Sync ||
      operation == Operation::Remove || operation == Operation::Resize) {
    changed.push_back(Change{operation, path, bytes});
    if (changed.size() == killAt) killCurrentProcess();
  }
  for (const Plan& plan : plans) {
    if (plan.operation == operation && (n == plan.nth || (plan.persistent && n > plan.nth))) {
      return plan.fault;
    }
  }
  return std::nullopt;
}

void fail(Fault fault, const char* what, const std::string& path) {
  const std::string failed = std::string(what) + " " + path + ": ";
  switch (fault) {
    case Fault::IoError:
      throw SystemError(Failure::Other, failed + "Input/output error");
    case Fault::NoSpace:
    case Fault::ShortWrite:
      throw SystemError(Failure::Other, failed + "No space left on device");
    case Fault::ReadOnly:
      break;
  }
  throw SystemError(Failure::AccessDenied, failed + "Read-only file system");
}

}  // namespace leafward::platform::faults
