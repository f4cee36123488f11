#pragma once

#include <cstdint>
#include <vector>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/pager.h"

namespace leafward::jet {

// Hashes of pages, to tell whether values read from them earlier may be handed out again:
// equal hashes taken at two times mean, short of a one-in-2^64 accident, that the page did not
// change in between. Not meant to resist a deliberately made collision.
std::uint64_t pageHash(std::uint32_t number, Bytes page);
// The hash of each of `pages` (ascending), read from the file in runs.
std::vector<std::uint64_t> hashPages(const Pager& pager, const std::vector<std::uint32_t>& pages);

}  // namespace leafward::jet
