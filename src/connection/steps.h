#pragma once

#include <exception>
#include <string>
#include <utility>

namespace leafward::connection {

// The rule the toolbar's commands and the login dialog's Refresh and OK run under, kept as the
// original program had it (VB's On Error Resume Next): a failing step never stops the command,
// it is skipped and the command goes on with the next one; and a test that cannot be evaluated
// lets the steps it guards run, as if it had held, which is why that predicate is named
// holdsOrFails and not holds.

// Runs one step; false when it failed. The reason goes to `failure` when asked for.
template <class Step>
bool attempt(Step&& step, std::string* failure = nullptr) noexcept {
  try {
    step();
    return true;
  } catch (const std::exception& error) {
    if (failure) {
      try {
        *failure = error.what();
      } catch (...) {
      }
    }
    return false;
  }
}

// How a procedure meets a failing step.
enum class OnFailure {
  Stop,      // the step's exception ends the procedure and goes on to its caller
  SkipStep,  // the step is skipped and the procedure goes on with the next one
};

// Runs one step under `rule`; false when it failed and was skipped.
template <class Step>
bool runStep(OnFailure rule, Step&& step) {
  if (rule == OnFailure::SkipStep) return attempt(std::forward<Step>(step));
  step();
  return true;
}

// Evaluates a test; true when it holds, and true when evaluating it fails: the failing test
// takes the branch it guards.
template <class Test>
bool holdsOrFails(Test&& test) noexcept {
  try {
    return static_cast<bool>(test());
  } catch (const std::exception&) {
    return true;
  }
}

}  // namespace leafward::connection
