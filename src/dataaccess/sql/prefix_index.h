#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::sql {

// The case-folded texts of one column, sorted once, so that the rows whose text begins with a
// given prefix can be found by binary search.
class FoldedPrefixIndex {
 public:
  void reserve(std::size_t rows, std::size_t textBytes);
  void add(std::string_view text, std::size_t row);
  void sort();  // after the last add

  std::size_t size() const { return entries_.size(); }
  // The first position whose key is not less than `prefix` (already folded); with
  // `longerOnly`, the first whose key is greater, skipping keys equal to `prefix`. The keys
  // that begin with `prefix` follow it without a gap.
  // With a `hint` near the answer, the search starts there and widens step by step.
  std::size_t seek(std::string_view prefix, bool longerOnly,
                   std::size_t hint = static_cast<std::size_t>(-1)) const;
  bool startsWith(std::size_t i, std::string_view prefix) const;
  std::string_view key(std::size_t i) const { return keyOf(entries_[i]); }
  std::size_t row(std::size_t i) const { return entries_[i].row; }

 private:
  static constexpr std::size_t kHeadBytes = 16;
  static constexpr std::size_t kSampleEvery = 32;

  // `head` holds the key's first 16 bytes, big-endian and padded with zeros: keys as short as
  // account codes are ordered without looking at the key texts at all.
  struct Entry {
    std::uint64_t head[2];
    std::uint64_t offset;
    std::uint32_t length;
    std::uint32_t row;
  };
  struct Probe {
    std::uint64_t head[2];
    std::string_view key;
  };

  static Probe probeOf(std::string_view key);
  std::string_view keyOf(const Entry& entry) const {
    return std::string_view(keys_).substr(entry.offset, entry.length);
  }
  int compare(const Entry& entry, const Probe& probe) const;

  std::string keys_;  // every key, one after the other
  std::vector<Entry> entries_;
  // Every kSampleEvery-th entry, small enough to stay in cache: the search narrows to one
  // stretch of entries there before it touches the entries themselves.
  std::vector<Entry> samples_;
};

}  // namespace leafward::sql
