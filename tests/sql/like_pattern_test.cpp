#include "dataaccess/sql/like_pattern.h"
#include "dataaccess/sql/joined_like_pattern.h"

#include <gtest/gtest.h>

namespace leafward::sql {
namespace {

struct LikeCase {
  const char* pattern;
  const char* text;
  bool matches;
};

void expectCases(std::initializer_list<LikeCase> cases) {
  LikePattern pattern;
  for (const LikeCase& c : cases) {
    pattern.compile(c.pattern);
    EXPECT_EQ(pattern.matches(c.text), c.matches) << c.pattern << " LIKE " << c.text;
  }
}

TEST(SqlLikePattern, PercentAndUnderscore) {
  expectCases({{"1001_%", "1001", false},
               {"1001_%", "10011", true},
               {"1001_%", "1001x", true},
               {"1001%", "1001", true},
               {"%", "", true},
               {"_", "", false},
               {"_", "科", true},  // one character, however many bytes
               {"__", "科", false},
               {"a%b%c", "aXbYc", true},
               {"a%b%c", "aXbY", false},
               {"%ab", "aab", true},
               {"%a%a", "aaa", true},
               {"a", "ab", false},
               {"#", "1", false},  // # is an ordinary character
               {"#", "#", true}});
}

TEST(SqlLikePattern, CharacterSets) {
  expectCases({{"[0-9]", "5", true},      {"[0-9]", "a", false},     {"[!0-9]", "a", true},
               {"[!0-9]", "5", false},    {"[!0-9]", "", false},     {"[a-c]", "B", true},
               {"[A-C]", "b", true},      {"[-a]", "-", true},       {"[a-]", "-", true},
               {"[ab]", "-", false},      {"[z-a]", "m", false},  // a backwards range holds nothing
               {"[]1", "1", true},                                // [] matches nothing at all
               {"[!]", "x", true},        {"[%]", "%", true},        {"[%]", "a", false},
               {"[_]1", "_1", true},      {"[_]1", "a1", false},     {"[科目]", "目", true},
               {"[12][0-9]", "29", true}, {"[12][0-9]", "39", false}});
}

TEST(SqlLikePattern, UnclosedBracketIsItself) {
  expectCases({{"a[b", "a[b", true},
               {"a[b", "a[B", true},
               {"a[b", "ab", false},
               {"[", "[", true},
               {"[", "a", false},
               {"a[%", "a[xyz", true},
               {"a[_", "a[", false},
               {"a[_%", "a[1", true}});
}

TEST(SqlLikePattern, CaseAndMalformedText) {
  expectCases({{"abc", "ABC", true},
               {"ÉTÉ", "été", true},
               {"Ω_", "ωx", true},
               {"ＡＢ", "ａｂ", true},
               {"\xff_",
                "\xff"
                "a",
                true},
               {"_", "\xc3", true},          // a stray lead byte is one character
               {"__", "\xc3\xa9", false}});  // a well-formed é is one character
}

TEST(SqlLikePattern, LiteralPrefixBoundsEveryMatch) {
  LikePattern pattern;
  pattern.compile("AbÉ_%");
  EXPECT_EQ(pattern.foldedPrefix(), "abé");
  EXPECT_EQ(pattern.prefixLength(), 3u);
  EXPECT_EQ(pattern.minimumLength(), 4u);
  pattern.compile("1[2]3");
  EXPECT_EQ(pattern.foldedPrefix(), "1");
  EXPECT_EQ(pattern.minimumLength(), 3u);
  pattern.compile("%1");
  EXPECT_EQ(pattern.foldedPrefix(), "");
  EXPECT_TRUE(pattern.compiledFrom("%1"));
  EXPECT_FALSE(pattern.compiledFrom("%2"));
}

// A lead is taken literally only when it reads the same inside the whole pattern.
TEST(SqlJoinedLikePattern, TakesOnlyLeadsWithoutWildcardsOrStrayBytes) {
  JoinedLikePattern pattern("É_%");
  ASSERT_TRUE(pattern.setLead("AbÉ"));
  EXPECT_EQ(pattern.foldedPrefix(), "abéé");
  EXPECT_EQ(pattern.prefixLength(), 4u);
  EXPECT_EQ(pattern.minimumLength(), 5u);
  EXPECT_TRUE(pattern.matchesFoldedCandidate("abééx"));
  EXPECT_FALSE(pattern.matchesFoldedCandidate("abéé"));
  ASSERT_TRUE(pattern.setFoldedLead("ab"));
  EXPECT_EQ(pattern.foldedPrefix(), "abé");
  for (const char* lead : {"1%", "1_", "[1]", "1\xc3", "\xa9"}) {
    EXPECT_FALSE(pattern.setLead(lead)) << lead;
    EXPECT_FALSE(pattern.setFoldedLead(lead)) << lead;
  }
  EXPECT_TRUE(pattern.setLead("1]!-"));
  EXPECT_TRUE(pattern.setLead(""));
  EXPECT_EQ(pattern.foldedPrefix(), "é");
}

}  // namespace
}  // namespace leafward::sql
