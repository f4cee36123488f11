#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "dataaccess/sql/datum.h"
#include "dataaccess/value.h"

namespace leafward::sql {

// The rows of a SELECT DISTINCT. Rows are the same when every value collates equal (texts
// without regard to case, NULL equal to NULL); the first row of a kind is the one kept. Jet
// delivers them sorted, and so does this: ascending by collate(), NULL first.
class DistinctRows {
 public:
  // Keeps the row unless an equal one is kept already.
  void offer(const std::vector<Datum>& row);
  std::vector<std::vector<dataaccess::Value>> takeSorted();

 private:
  // Up to this many rows kept, a new one is compared with each: cheaper than hashing it, and
  // the usual case (the distinct lengths of codes). From one more on, rows are found by hash.
  static constexpr std::size_t kFewRows = 8;

  static std::uint64_t hashOf(const std::vector<Datum>& row);
  bool equal(const std::vector<Datum>& row, const std::vector<dataaccess::Value>& kept) const;

  std::vector<std::vector<dataaccess::Value>> rows_;
  std::unordered_multimap<std::uint64_t, std::size_t> byHash_;
};

}  // namespace leafward::sql
