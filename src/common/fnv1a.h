#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace leafward {

// FNV-1a, the one hash family behind every checksum and name Leafward writes to disk: the rows
// of the record of repairs and its anchor, the record's file name, and the rollback journal
// (whose checksum mixes whole words with the same constants). Changing anything here changes
// those formats: the known-answer tests (tests/common/fnv1a_test.cpp and the formats' own) say
// so. Not for security.
inline constexpr std::uint64_t kFnvOffsetBasis64 = 14695981039346656037ull;
inline constexpr std::uint64_t kFnvPrime64 = 1099511628211ull;
inline constexpr std::uint32_t kFnvOffsetBasis32 = 2166136261u;
inline constexpr std::uint32_t kFnvPrime32 = 16777619u;

// The 64-bit hash, fed in pieces.
class Fnv1a64 {
 public:
  Fnv1a64& add(std::uint8_t byte) {
    value_ = (value_ ^ byte) * kFnvPrime64;
    return *this;
  }
  Fnv1a64& add(std::span<const std::uint8_t> bytes) {
    for (const std::uint8_t byte : bytes) add(byte);
    return *this;
  }
  Fnv1a64& add(std::string_view text) {
    for (const char c : text) add(static_cast<std::uint8_t>(c));
    return *this;
  }
  // A unit wider than a byte (a character's code point) mixed in as one.
  Fnv1a64& addUnit(std::uint64_t unit) {
    value_ = (value_ ^ unit) * kFnvPrime64;
    return *this;
  }
  std::uint64_t value() const { return value_; }

 private:
  std::uint64_t value_ = kFnvOffsetBasis64;
};

inline std::uint64_t fnv1a64(std::string_view text) {
  return Fnv1a64().add(text).value();
}

inline std::uint32_t fnv1a32(std::string_view text) {
  std::uint32_t hash = kFnvOffsetBasis32;
  for (const char c : text) hash = (hash ^ static_cast<std::uint8_t>(c)) * kFnvPrime32;
  return hash;
}

}  // namespace leafward
