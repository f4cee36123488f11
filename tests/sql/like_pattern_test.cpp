#include "dataaccess/sql/like_pattern.h"

#include <gtest/gtest.h>

namespace leafward::sql {
namespace {

// Jet's LIKE, case by case; the random property test compares the engine's range search with a
// plain reference on many more.
TEST(SqlLikePattern, MatchesAsJetDoes) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  };
  LikePattern pattern;
  for (const Case& c : std::initializer_list<Case>{
           {"1001_%", "1001", false},
           {"1001_%", "1001x", true},
           {"%", "", true},
           {"_", "", false},
           {"_", "科", true},  // one character, however many bytes
           {"__", "科", false},
           {"a%b%c", "aXbYc", true},
           {"a%b%c", "aXbY", false},
           {"%a%a", "aaa", true},
           {"#", "1", false},  // # is an ordinary character
           {"#", "#", true},
           {"[0-9]", "5", true},
           {"[!0-9]", "5", false},
           {"[!0-9]", "", false},
           {"[A-C]", "b", true},
           {"[-a]", "-", true},
           {"[a-]", "-", true},
           {"[z-a]", "m", false},  // a backwards range holds nothing
           {"[]1", "1", true},     // [] matches nothing at all
           {"[!]", "x", true},
           {"[%]", "a", false},
           {"[_]1", "a1", false},
           {"[科目]", "目", true},
           {"a[b", "a[B", true},  // an unclosed [ is itself
           {"a[b", "ab", false},
           {"a[%", "a[xyz", true},
           {"a[_", "a[", false},
           {"ÉTÉ", "été", true},
           {"Ω_", "ωx", true},
           {"ＡＢ", "ａｂ", true},
           {"\xff_",
            "\xff"
            "a",
            true},
           {"_", "\xc3", true},           // a stray lead byte is one character
           {"__", "\xc3\xa9", false}}) {  // a well-formed é is one character
    pattern.compile(c.pattern);
    EXPECT_EQ(pattern.matches(c.text), c.matches) << c.pattern << " LIKE " << c.text;
  }
}

}  // namespace
}  // namespace leafward::sql
