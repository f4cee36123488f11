#pragma once

namespace leafward::cli {

// Test builds only. With LEAFWARD_TEST_READ_ONLY_MEDIUM set (to anything) in the environment,
// every open for writing and every removal of a file fails as on a read-only medium, so that
// tests can run the commands on one. Without it nothing is installed.
void installTestMediumHook();

}  // namespace leafward::cli
