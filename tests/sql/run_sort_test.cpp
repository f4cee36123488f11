// Sorting that merges the stretches already in order, against std::sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "dataaccess/sql/run_sort.h"

namespace leafward::sql {
namespace {

TEST(SqlRunSort, SortsInputMadeOfSortedStretches) {
  std::mt19937 random(5);
  const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  // Keys repeat; the position makes every element distinct, as the row does in the index.
  using Element = std::pair<int, int>;
  for (int round = 0; round < 200; ++round) {
    const int count = pick(3) == 0 ? pick(40) : 200 + pick(2000);
    const int stretches = 1 + (round % 4 == 3 ? pick(count + 1) : pick(12));
    std::vector<Element> elements;
    for (int i = 0; i < count; ++i) elements.emplace_back(pick(round % 2 == 0 ? 10 : 100000), i);
    for (int k = 0; k < stretches; ++k) {
      std::sort(elements.begin() + count * k / stretches,
                elements.begin() + count * (k + 1) / stretches);
    }
    std::vector<Element> expected = elements;
    std::sort(expected.begin(), expected.end());
    const bool wasSorted = elements == expected;
    EXPECT_EQ(sortMergingRuns(elements.begin(), elements.end(), std::less<Element>()), !wasSorted);
    ASSERT_EQ(elements, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace leafward::sql
