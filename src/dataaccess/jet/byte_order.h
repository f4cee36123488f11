#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "dataaccess/jet/jet_format.h"

namespace leafward::jet {

// Little-endian stores, the counterparts of the readers in jet_format.h. Callers check bounds.
inline void writeU16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void writeU32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void writeU64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace leafward::jet
