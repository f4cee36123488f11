#include "dataaccess/decimal.h"

#include <array>
#include <cmath>

namespace leafward::dataaccess {
namespace {

// The magnitude as four 32-bit words, most significant first, for arithmetic in 64 bits.
using Words = std::array<std::uint32_t, 4>;

Words wordsOf(const Decimal& value) {
  return {static_cast<std::uint32_t>(value.high >> 32), static_cast<std::uint32_t>(value.high),
          static_cast<std::uint32_t>(value.low >> 32), static_cast<std::uint32_t>(value.low)};
}

bool isZero(const Words& words) {
  return (words[0] | words[1] | words[2] | words[3]) == 0;
}

// Divides in place; returns the remainder.
std::uint32_t divide(Words& words, std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (std::uint32_t& word : words) {
    const std::uint64_t part = (remainder << 32) | word;
    word = static_cast<std::uint32_t>(part / divisor);
    remainder = part % divisor;
  }
  return static_cast<std::uint32_t>(remainder);
}

// words = words * 10 + digit; false when the result passes 128 bits.
bool appendDigit(Words& words, unsigned digit) {
  std::uint64_t carry = digit;
  for (std::size_t i = words.size(); i-- > 0;) {
    const std::uint64_t part = std::uint64_t{words[i]} * 10 + carry;
    words[i] = static_cast<std::uint32_t>(part);
    carry = part >> 32;
  }
  return carry == 0;
}

}  // namespace

double Decimal::approximate() const {
  const double magnitude =
      static_cast<double>(high) * 18446744073709551616.0 + static_cast<double>(low);
  const double value = magnitude / std::pow(10.0, scale);
  return negative ? -value : value;
}

std::string Decimal::toText() const {
  // The digits, least significant first, nine at a time: 128 bits need at most 39, and a
  // scale of up to 38 at most 39 with the zero before the point.
  char digits[48];
  std::size_t count = 0;
  Words words = wordsOf(*this);
  while (!isZero(words)) {
    std::uint32_t chunk = divide(words, 1000000000);
    for (int i = 0; i < 9; ++i, chunk /= 10) digits[count++] = static_cast<char>('0' + chunk % 10);
  }
  while (count > 0 && digits[count - 1] == '0') --count;
  const bool zero = count == 0;
  while (count <= scale) digits[count++] = '0';  // at least one digit before the point
  std::size_t trailing = 0;
  while (trailing < scale && digits[trailing] == '0') ++trailing;

  char text[52];
  std::size_t length = 0;
  if (negative && !zero) text[length++] = '-';
  for (std::size_t i = count; i-- > trailing;) {
    text[length++] = digits[i];
    if (i == scale && i > trailing) text[length++] = '.';
  }
  return std::string(text, length);
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  Decimal value;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    value.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  Words words{};
  bool point = false;
  std::size_t digits = 0;
  unsigned scale = 0;
  for (const char c : text) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (!appendDigit(words, static_cast<unsigned>(c - '0'))) return std::nullopt;
      ++digits;
      if (point && ++scale > kMaxScale) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  value.high = (std::uint64_t{words[0]} << 32) | words[1];
  value.low = (std::uint64_t{words[2]} << 32) | words[3];
  value.scale = static_cast<std::uint8_t>(scale);
  return value;
}

}  // namespace leafward::dataaccess
