#include "dataaccess/jet/write/checksum.h"

#include "dataaccess/jet/format/byte_order.h"

namespace leafward::jet {

std::uint64_t checksum64(std::span<const std::uint8_t> bytes) {
  constexpr std::uint64_t kPrime = 0x100000001B3ull;
  std::uint64_t hash = 0xCBF29CE484222325ull ^ bytes.size();
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    hash = (hash ^ readU64(bytes, i)) * kPrime;
    hash ^= hash >> 29;
  }
  for (; i < bytes.size(); ++i) hash = (hash ^ bytes[i]) * kPrime;
  hash ^= hash >> 32;
  return hash * kPrime;
}

}  // namespace leafward::jet
