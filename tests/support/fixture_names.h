#pragma once

namespace leafward::testing {

// The small worked-example account set among the shared fixtures: 1001 and 1002 have
// sub-accounts but are flagged as leaf, 100201 has none but is flagged as non-leaf. The text
// is that fixture file's own name.
inline constexpr const char* kWorkedExample = "spec-example.mdb";

}  // namespace leafward::testing
