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
  void reserve(std::size_t rows);
  void add(std::string_view text, std::size_t row);
  void sort();  // after the last add

  std::size_t size() const { return entries_.size(); }
  // The first position whose key is not less than `prefix` (already folded); with
  // `longerOnly`, the first whose key is greater, skipping keys equal to `prefix`. The keys
  // that begin with `prefix` follow it without a gap.
  std::size_t seek(std::string_view prefix, bool longerOnly) const;
  bool startsWith(std::size_t i, std::string_view prefix) const {
    return key(i).substr(0, prefix.size()) == prefix;
  }
  std::string_view key(std::size_t i) const {
    const Entry& entry = entries_[i];
    return std::string_view(keys_).substr(entry.offset, entry.length);
  }
  std::size_t row(std::size_t i) const { return entries_[i].row; }

 private:
  // `head` holds the key's first eight bytes, big-endian and padded with zeros, so most
  // comparisons are settled by one integer comparison without touching the keys.
  struct Entry {
    std::uint64_t head;
    std::uint64_t offset;
    std::uint32_t length;
    std::uint32_t row;
  };
  static std::uint64_t headOf(std::string_view key);
  static int compare(const Entry& entry, std::string_view entryKey, std::uint64_t head,
                     std::string_view key);

  std::string keys_;  // every key, one after the other
  std::vector<Entry> entries_;
};

}  // namespace leafward::sql
