#include "dataaccess/value.h"

#include <gtest/gtest.h>

namespace leafward::dataaccess {
namespace {

TEST(ValueTest, TextFormsFollowJetConventions) {
  EXPECT_EQ(Value().toText(), "");
  EXPECT_EQ(Value::yesNo(true).toText(), "-1");
  EXPECT_EQ(Value::yesNo(false).toText(), "0");
  EXPECT_EQ(Value::integer(-42).toText(), "-42");
  EXPECT_EQ(Value::floating(0.1).toText(), "0.1");
  EXPECT_EQ(Value::floating(1234.5).toText(), "1234.5");
  EXPECT_EQ(Value::text("科目").toText(), "科目");
}

TEST(ValueTest, DatesCountDaysFrom1899December30) {
  EXPECT_EQ(Value::date({0}).toText(), "1899-12-30");
  EXPECT_EQ(Value::date({36526.5}).toText(), "2000-01-01 12:00:00");
  EXPECT_EQ(Value::date({-1.25}).toText(), "1899-12-29 06:00:00");
}

}  // namespace
}  // namespace leafward::dataaccess
