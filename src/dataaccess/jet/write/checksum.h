#pragma once

#include <cstdint>
#include <span>

namespace leafward::jet {

// A fast 64-bit checksum that catches torn and damaged journal records. Not for security.
std::uint64_t checksum64(std::span<const std::uint8_t> bytes);

}  // namespace leafward::jet
