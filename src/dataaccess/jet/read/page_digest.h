#pragma once

#include <cstdint>
#include <vector>

#include "dataaccess/jet/format/byte_order.h"
#include "dataaccess/jet/format/pager.h"

namespace leafward::jet {

// Digests of pages, to tell whether values read from them earlier may be handed out again:
// equal digests taken at two times mean, short of a one-in-2^64 accident, that none of the
// pages changed in between. Not meant to resist a deliberately made collision.
//
// A set of pages digests to the sum of the hashes of its pages, so that the pages can be taken
// in any order: those at hand while the rows are read, and the rest afterwards.
std::uint64_t pageHash(std::uint32_t number, Bytes page);
// The digest of `pages` (ascending, each once), read from the file in runs.
std::uint64_t digestPages(const Pager& pager, const std::vector<std::uint32_t>& pages);

}  // namespace leafward::jet
