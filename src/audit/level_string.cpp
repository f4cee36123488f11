#include "audit/level_string.h"

#include <algorithm>
#include <limits>

namespace leafward::audit {
namespace {

constexpr std::size_t kMostUndefinedLevelDigits = 15;

bool fitsInt16(std::int64_t value) {
  return value >= std::numeric_limits<std::int16_t>::min() &&
         value <= std::numeric_limits<std::int16_t>::max();
}

}  // namespace

std::string levelString(const std::vector<std::int64_t>& lengths) {
  std::string level;
  std::int16_t previous = 0;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    const std::int64_t length = lengths[i];
    if (i == 0) {
      if (fitsInt16(length)) previous = static_cast<std::int16_t>(length);
      level = std::to_string(previous);
      continue;
    }
    level += std::to_string(length - previous);
    if (fitsInt16(length)) previous = static_cast<std::int16_t>(length);
  }
  return level;
}

std::string withoutCommas(std::string_view stored) {
  std::string result;
  result.reserve(stored.size());
  std::copy_if(stored.begin(), stored.end(), std::back_inserter(result),
               [](char c) { return c != ','; });
  return result;
}

bool schemeMatches(std::string_view stored, std::string_view level) {
  if (stored.size() < level.size() || stored.substr(0, level.size()) != level) return false;
  const std::string_view rest = stored.substr(level.size());
  return rest.size() <= kMostUndefinedLevelDigits &&
         std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace leafward::audit
