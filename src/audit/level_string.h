#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::audit {

// The level sizes of the codes in use, from their distinct lengths in the order given: the
// first length, then each length's difference from the one before, in decimal and joined
// without separators. Lengths 4, 6, 8, 10 give "4222"; 8, 6, 4 give "8-2-2"; 4, 14 give
// "410". The previous length is held as a 16-bit number: a length beyond its range is not
// taken as the next previous one.
std::string levelString(const std::vector<std::int64_t>& lengths);

// The stored scheme with every "," removed and nothing else.
std::string withoutCommas(std::string_view stored);

// Whether a stored scheme (commas removed) fits the level string: it starts with the level
// string and goes on with at most fifteen further characters, all ASCII digits. Defining more
// levels than the codes use is fine; disagreeing on the levels in use is not.
bool schemeMatches(std::string_view stored, std::string_view level);

}  // namespace leafward::audit
