#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::sql {

class ColumnValues;

// The case-folded texts of one column, sorted once, so that the rows whose text begins with a
// given prefix can be found by binary search. A column already in that order, whose texts fold
// to themselves, serves as its own index.
class FoldedPrefixIndex {
 public:
  static constexpr std::size_t kHeadBytes = 16;

  // A folded prefix to look for, prepared once for the searches and tests that use it.
  struct Probe {
    std::uint64_t head[2];  // its first kHeadBytes bytes as big-endian words, padded with zeros
    std::uint64_t mask[2];  // the bits of `head` that the prefix fills
    std::string_view key;
  };
  static Probe probe(std::string_view prefix);

  // The index of a column's values, sorted: every value but NULL (which is LIKE nothing), a
  // number by its printed form.
  static FoldedPrefixIndex of(const ColumnValues& values);
  // Whether every key is a text, none the printed form of a number.
  bool keysAreTexts() const { return keysAreTexts_; }

  void reserve(std::size_t rows) { entries_.reserve(rows); }
  void add(std::string_view text, std::size_t row);
  void sort();  // after the last add

  std::size_t size() const { return inColumn_ ? columnRows_ : entries_.size(); }
  // The first position whose key is not less than the prefix; with `longerOnly`, the first
  // whose key is greater, skipping keys equal to the prefix. The keys that begin with the
  // prefix follow it without a gap.
  // With a `hint` near the answer, the search starts there and widens step by step.
  std::size_t seek(const Probe& prefix, bool longerOnly,
                   std::size_t hint = static_cast<std::size_t>(-1)) const;
  bool startsWith(std::size_t i, const Probe& prefix) const;
  std::string_view key(std::size_t i) const;
  std::size_t row(std::size_t i) const {
    return !inColumn_ ? entries_[i].row : order_.empty() ? i : order_[i];
  }

 private:
  static constexpr std::size_t kSampleEvery = 32;

  // A key that fits in `head` lives there whole (most account codes do): it is ordered, tested
  // and read without a look anywhere else. A longer one lives in `keys_`, its start in `head`.
  struct Entry {
    char head[kHeadBytes];  // the key's first bytes, padded with zeros
    std::uint32_t length;
    std::uint32_t row;
    std::uint32_t offset;  // in keys_, for a key longer than the head
  };

  std::string_view keyOf(const Entry& entry) const {
    return entry.length <= kHeadBytes ? std::string_view(entry.head, entry.length)
                                      : std::string_view(keys_).substr(entry.offset, entry.length);
  }
  int compare(const Entry& entry, const Probe& probe) const;
  void layOutLongKeys();

  std::string keys_;    // the keys longer than a head, one after the other
  std::string folded_;  // add()'s buffer
  std::vector<Entry> entries_;
  // Every kSampleEvery-th entry, small enough to stay in cache: the search narrows to one
  // stretch of entries there before it touches the entries themselves.
  std::vector<Entry> samples_;
  bool keysAreTexts_ = true;
  // The column indexed, when its texts are their own keys: then there are no entries, and
  // entry i is row order_[i] (row i when order_ is empty) with its text as the key.
  const ColumnValues* inColumn_ = nullptr;
  std::vector<std::uint32_t> order_;
  std::size_t columnRows_ = 0;  // the number of entries
};

}  // namespace leafward::sql
