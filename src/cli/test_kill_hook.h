#pragma once

namespace leafward::cli {

// Test builds only. With LEAFWARD_TEST_KILL_AT_WRITE_STEP=N in the environment the process kills
// itself (SIGKILL; TerminateProcess on Windows) when the .mdb writer reaches its N-th write step,
// counted from 1 over the whole run, so that tests can stop an update at any point and inspect the
// file; with LEAFWARD_TEST_KILL_AT_CHANGE=N, instead of its N-th write, flush, removal or cut of
// any file (the record of repairs and its anchor included). Reads the variables once; without
// them nothing is installed.
void installTestKillHook();

}  // namespace leafward::cli
