#include "dataaccess/sql/distinct_rows.h"

#include <algorithm>

#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {

bool DistinctRows::equal(const std::vector<Datum>& row,
                         const std::vector<dataaccess::Value>& kept) const {
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (collate(row[i], viewOf(kept[i])) != 0) return false;
  }
  return true;
}

std::uint64_t DistinctRows::hashOf(const std::vector<Datum>& row) {
  std::uint64_t hash = 0;
  for (const Datum& value : row) hash = hash * 31 + collationHash(value);
  return hash;
}

void DistinctRows::offer(const std::vector<Datum>& row) {
  std::uint64_t hash = 0;
  if (rows_.size() <= kFewRows) {
    for (const auto& kept : rows_) {
      if (equal(row, kept)) return;
    }
  } else {
    hash = hashOf(row);
    const auto [first, last] = byHash_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
      if (equal(row, rows_[it->second])) return;
    }
  }
  std::vector<dataaccess::Value> kept;
  kept.reserve(row.size());
  for (const Datum& value : row) kept.push_back(toValue(value));
  rows_.push_back(std::move(kept));
  if (rows_.size() == kFewRows + 1) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      std::vector<Datum> values;
      for (const auto& value : rows_[i]) values.push_back(viewOf(value));
      byHash_.emplace(hashOf(values), i);
    }
  } else if (rows_.size() > kFewRows + 1) {
    byHash_.emplace(hash, rows_.size() - 1);
  }
}

std::vector<std::vector<dataaccess::Value>> DistinctRows::takeSorted() {
  std::stable_sort(rows_.begin(), rows_.end(), [](const auto& a, const auto& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      const int order = collate(viewOf(a[i]), viewOf(b[i]));
      if (order != 0) return order < 0;
    }
    return false;
  });
  byHash_.clear();
  return std::move(rows_);
}

}  // namespace leafward::sql
