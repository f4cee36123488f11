#include "dataaccess/jet/write/checksum.h"

#include "common/fnv1a.h"
#include "dataaccess/jet/format/byte_order.h"

namespace leafward::jet {

std::uint64_t checksum64(std::span<const std::uint8_t> bytes) {
  // FNV-1a's constants over whole words, the length folded into the start, a shift after each
  // word and at the end so that every bit reaches the high ones.
  constexpr std::uint64_t kPrime = kFnvPrime64;
  std::uint64_t hash = kFnvOffsetBasis64 ^ bytes.size();
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
