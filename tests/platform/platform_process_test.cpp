#include <gtest/gtest.h>

#include "platform/process.h"

namespace leafward::platform {
namespace {

// Arguments reach the program exactly as given, spaces, quotes, backslashes and Chinese alike
// (Windows passes one command line that the program takes apart again).
TEST(PlatformProcessTest, ArgumentsArriveAsGiven) {
  for (const std::string argument : {"x \"y\\\" z\\", "\\\\server\\share\\", "科目 2024", "\""}) {
    const ProcessRun run = runProcess({LEAFWARD_CLI, argument}, {{}, true, {}});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(run.killed);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
              "leafward-cli: unknown command '" + argument + "'")
        << run.err;
  }
}

}  // namespace
}  // namespace leafward::platform
