#pragma once

#include <chrono>

#include "platform/file.h"

namespace leafward::platform {

// How long Leafward waits for another holder of a file's lock before it gives up: a reader
// waits for a writer to finish its statement; a writer waits only for readers, which hold
// their lock for the moment of one read (a Check, for its few statements).
inline constexpr std::chrono::milliseconds kLockWait{5000};
inline constexpr std::chrono::milliseconds kWriterLockWait{2000};

// Takes the lock, trying again until `wait` has passed; false, holding nothing (not even a
// writer's claim), when it never came free.
bool waitForLock(File& file, LockKind kind, std::chrono::milliseconds wait = kLockWait);

}  // namespace leafward::platform
