#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace leafward::dataaccess {

inline char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Compares names the way Jet and SQL Server compare identifiers and connection-string keys:
// ASCII letters without regard to case, every other byte exactly.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

inline std::string asciiLowered(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), asciiLower);
  return result;
}

}  // namespace leafward::dataaccess
