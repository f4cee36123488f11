#include "dataaccess/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace leafward::dataaccess {
namespace {

// Yes is -1 as in Jet; numbers print as stored, without exponent or noise. (Binary data and
// GUIDs are compared with mdb-export's text for them.)
TEST(ValueTest, TextForms) {
  EXPECT_EQ(Value().toText(), "");
  EXPECT_EQ(Value::yesNo(true).toText(), "-1");
  EXPECT_EQ(Value::yesNo(false).toText(), "0");
  EXPECT_EQ(Value::floating(0.1).toText(), "0.1");
  EXPECT_EQ(Value::floating(1720).toText(), "1720");
  EXPECT_EQ(Value::floating(-0.0).toText(), "0");
  EXPECT_EQ(Value::floating(0.1 + 0.2).toText(), "0.30000000000000004");
  EXPECT_EQ(Value::floating(1e-5).toText(), "0.00001");
  EXPECT_EQ(Value::floating(9007199254740993.0).toText(), "9007199254740992");
  EXPECT_EQ(Value::floating(-9.2e18).toText(), "-9200000000000000000");
  EXPECT_EQ(Value::floating(1e19).toText(), "1e+19");
  EXPECT_EQ(Value::floating(-2.5e-6).toText(), "-2.5e-06");
  EXPECT_EQ(Value::single(43.32f).toText(), "43.32");
  EXPECT_EQ(Value::single(1e10f).toText(), "10000000000");
  EXPECT_EQ(Value::currency({12345678}).toText(), "1234.5678");
  EXPECT_EQ(Value::currency({-50000}).toText(), "-5");
  EXPECT_EQ(Value::currency({-120}).toText(), "-0.012");
  EXPECT_EQ(Value::currency({INT64_MIN}).toText(), "-922337203685477.5808");
}

// Any stored bit pattern prints as text that reads back as the same number.
// Decimals as drivers write them read back exactly, in the shortest exact text; what is not
// such a number, or does not fit 128 bits and 38 decimals, is refused.
TEST(ValueTest, DecimalsReadAndPrintExactly) {
  const auto text = [](std::string_view written) {
    const auto value = Decimal::parse(written);
    return value ? Value::decimal(*value).toText() : "refused";
  };
  EXPECT_EQ(text("-1234.5600"), "-1234.56");
  EXPECT_EQ(text(" .5 "), "0.5");
  EXPECT_EQ(text("+12."), "12");
  EXPECT_EQ(text("-0.000"), "0");
  EXPECT_EQ(text("100"), "100");
  EXPECT_EQ(text("0.00000000000000000000000000000000000001"),
            "0.00000000000000000000000000000000000001");
  EXPECT_EQ(text("340282366920938463463374607431768211455"),
            "340282366920938463463374607431768211455");  // 2^128 - 1
  for (const char* bad : {"340282366920938463463374607431768211456", "1e5", "", "-", ".", "1.2.3",
                          "0.000000000000000000000000000000000000001", "12 3", "0x10"}) {
    EXPECT_EQ(text(bad), "refused") << bad;
  }
  EXPECT_EQ(Decimal::parse("-2.5")->scale, 1);
  EXPECT_DOUBLE_EQ(Value::decimal(*Decimal::parse("-2.5")).fractionalNumber().value(), -2.5);
}

TEST(ValueTest, EveryNumberReadsBackFromItsText) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 20000; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    double wide;
    std::memcpy(&wide, &state, sizeof wide);
    const auto bits = static_cast<std::uint32_t>(state >> 32);
    float narrow;
    std::memcpy(&narrow, &bits, sizeof narrow);
    // Also 53 random bits scaled into the range that prints positionally.
    const double positional =
        std::ldexp(static_cast<double>(state >> 11), static_cast<int>(state % 80) - 70);
    for (double number : {wide, positional}) {
      if (!std::isfinite(number)) continue;
      ASSERT_EQ(std::strtod(Value::floating(number).toText().c_str(), nullptr), number) << number;
    }
    if (std::isfinite(narrow)) {
      ASSERT_EQ(std::strtof(Value::single(narrow).toText().c_str(), nullptr), narrow) << narrow;
    }
  }
}

TEST(ValueTest, DatesCountDaysFrom1899December30) {
  EXPECT_EQ(Value::date({0}).toText(), "1899-12-30");
  EXPECT_EQ(Value::date({36526.5}).toText(), "2000-01-01 12:00:00");
  EXPECT_EQ(Value::date({-1.25}).toText(), "1899-12-29 06:00:00");
}

}  // namespace
}  // namespace leafward::dataaccess
