#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

namespace leafward::sql {

// Sorts [first, last) by `less` (a strict total order), making use of stretches that are
// sorted already: a table is often stored in key order, or in a few stretches that each are
// (codes added later go at the end). Such input is merged stretch by stretch in linear time
// per level; input with short stretches gets an ordinary sort. Returns false when the input
// was sorted already.
template <class Iterator, class Less>
bool sortMergingRuns(Iterator first, Iterator last, Less less) {
  // Below this many entries per stretch on average, merging them is no cheaper than sorting.
  constexpr std::ptrdiff_t kShortestWorthMerging = 32;
  const std::ptrdiff_t count = last - first;
  std::vector<std::ptrdiff_t> bounds{0};  // where each stretch begins, then `count`
  const std::ptrdiff_t mostBounds = count / kShortestWorthMerging + 1;
  for (std::ptrdiff_t i = 1; i < count; ++i) {
    if (!less(first[i], first[i - 1])) continue;
    if (static_cast<std::ptrdiff_t>(bounds.size()) >= mostBounds) {
      std::sort(first, last, less);
      return true;
    }
    bounds.push_back(i);
  }
  if (bounds.size() == 1) return false;
  bounds.push_back(count);

  // Merges stretches lo..hi-1 into one, halving the range so each level costs one pass.
  const auto merge = [&](auto& self, std::size_t lo, std::size_t hi) -> void {
    if (hi - lo < 2) return;
    const std::size_t mid = lo + (hi - lo) / 2;
    self(self, lo, mid);
    self(self, mid, hi);
    std::inplace_merge(first + bounds[lo], first + bounds[mid], first + bounds[hi], less);
  };
  merge(merge, 0, bounds.size() - 1);
  return true;
}

}  // namespace leafward::sql
