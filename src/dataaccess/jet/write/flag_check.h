#pragma once

#include <cstdint>
#include <vector>

#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/write/flag_writer.h"

namespace leafward::jet {

// The flag bits a statement flips on one page, by offset, with the values they hold before.
struct PageFlips {
  std::uint32_t page = 0;
  std::vector<ByteChange> changes;
  std::vector<std::uint8_t> before;  // per change: its bits as they are before the statement
};

// Checks every row of a statement before anything is written: finds where its Yes/No bit
// lives (following a moved row's pointer) and that it still holds what the statement saw.
// Gives the bits to flip, by page in ascending order, and records in `result` the rows that
// change. Throws DataAccessError of the writer's refusal kinds (see writeFlags).
std::vector<PageFlips> checkFlagChanges(const Pager& pager, const FlagTarget& target,
                                        const std::vector<FlagChange>& changes,
                                        FlagWriteResult& result);

}  // namespace leafward::jet
