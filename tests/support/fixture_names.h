#pragma once

namespace leafward::testing {

// The small worked-example account set: 1001 and 1002 have sub-accounts but are flagged as
// leaf, 100201 has none but is flagged as non-leaf.
inline constexpr const char* kWorkedExample = "worked-example.mdb";

}  // namespace leafward::testing
