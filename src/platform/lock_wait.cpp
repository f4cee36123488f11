#include "platform/lock_wait.h"

#include <thread>

namespace leafward::platform {

bool waitForLock(File& file, LockKind kind, std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (auto pause = std::chrono::milliseconds(5);;
       pause = std::min(pause * 2, std::chrono::milliseconds(100))) {
    if (file.tryLock(kind)) return true;
    if (std::chrono::steady_clock::now() + pause > deadline) {
      file.unlock();  // a writer gives up its claim, so that readers are let in again
      return false;
    }
    std::this_thread::sleep_for(pause);
  }
}

}  // namespace leafward::platform
