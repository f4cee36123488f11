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

void DistinctRows::offer(const std::vector<Datum>& row) {
  std::uint64_t hash = 0;
  for (const Datum& value : row) hash = hash * 31 + collationHash(value);
  const auto [first, last] = byHash_.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    if (equal(row, rows_[it->second])) return;
  }
  std::vector<dataaccess::Value> kept;
  kept.reserve(row.size());
  for (const Datum& value : row) kept.push_back(toValue(value));
  byHash_.emplace(hash, rows_.size());
  rows_.push_back(std::move(kept));
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
