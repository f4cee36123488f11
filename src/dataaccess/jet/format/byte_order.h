#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace leafward::jet {

using Bytes = std::span<const std::uint8_t>;

// Little-endian loads and stores, the byte order of every number in an .mdb file. Callers check
// bounds.
inline std::uint16_t readU16(Bytes bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}
inline std::uint32_t readU24(Bytes bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16));
}
inline std::uint32_t readU32(Bytes bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
         (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}
inline std::uint64_t readU64(Bytes bytes, std::size_t at) {
  return static_cast<std::uint64_t>(readU32(bytes, at)) |
         (static_cast<std::uint64_t>(readU32(bytes, at + 4)) << 32);
}
inline double readDouble(Bytes bytes, std::size_t at) {
  const std::uint64_t bits = readU64(bytes, at);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline float readFloat(Bytes bytes, std::size_t at) {
  const std::uint32_t bits = readU32(bytes, at);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

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
