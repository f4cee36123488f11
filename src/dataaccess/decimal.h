#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace leafward::dataaccess {

// A decimal number held exactly, as Jet's Decimal (Numeric) and SQL Server's decimal, numeric
// and money keep them: a whole magnitude of up to 128 bits with `scale` digits after the point,
// and a sign. 12.50 kept with two decimals is the magnitude 1250 with scale 2.
struct Decimal {
  static constexpr unsigned kMaxScale = 38;

  std::uint64_t high = 0;  // the magnitude's upper 64 bits
  std::uint64_t low = 0;   // and its lower 64
  std::uint8_t scale = 0;  // at most kMaxScale
  bool negative = false;

  bool operator==(const Decimal&) const = default;

  // The nearest double, or nearly (the magnitude and the power of ten are each rounded once).
  double approximate() const;

  // The number exactly, without trailing zeros after the point and without the point when no
  // digit follows it: "-1234.5", "0.001", "12"; zero is "0" whatever its sign.
  std::string toText() const;

  // A decimal written as an optional sign and digits with at most one point ("-1234.5600",
  // ".5", "12."), blanks around it allowed, as drivers hand them out; the scale is the number
  // of digits after the point. Nothing for any other text, and for a magnitude past 128 bits
  // or more than kMaxScale digits after the point.
  static std::optional<Decimal> parse(std::string_view text);
};

}  // namespace leafward::dataaccess
