#pragma once

// The numbered rules a protocol keeps (the journal's J1.., the record's R1.. and the chain's
// C1..; docs/formats.md lists them) are checked where they are kept, as SQLite's pager does with
// assert(): in debug and sanitizer builds a broken rule stops the program there, naming the rule.
// What users run (NDEBUG) leaves the checks out; the code keeps the rules either way.
#ifdef NDEBUG
// Unevaluated, so what a rule names stays used in a build without the checks.
#define LEAFWARD_INVARIANT(rule, condition) static_cast<void>(sizeof((condition) ? 1 : 0))
#else
#include <cstdio>
#include <cstdlib>

namespace leafward {

[[noreturn]] inline void invariantBroken(const char* rule, const char* condition, const char* file,
                                         int line) {
  std::fprintf(stderr, "%s:%d: rule %s broken: %s\n", file, line, rule, condition);
  std::abort();
}

}  // namespace leafward

#define LEAFWARD_INVARIANT(rule, condition) \
  ((condition) ? static_cast<void>(0)       \
               : ::leafward::invariantBroken(rule, #condition, __FILE__, __LINE__))
#endif
