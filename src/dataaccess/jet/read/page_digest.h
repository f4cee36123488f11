#pragma once

#include <cstdint>
#include <vector>

#include "dataaccess/jet/format/pager.h"

namespace leafward::jet {

// A 64-bit digest of the bytes of some pages, in the order given: equal digests taken at two
// times mean, short of a one-in-2^64 accident, that none of those pages changed in between.
// Not meant to resist a deliberate collision: it only tells whether values read earlier may be
// handed out again.
std::uint64_t digestPages(const Pager& pager, const std::vector<std::uint32_t>& pages);

}  // namespace leafward::jet
