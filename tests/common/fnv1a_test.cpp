// The hash behind every checksum and name written to disk gives the published known answers.
#include "common/fnv1a.h"

#include <gtest/gtest.h>

namespace leafward {
namespace {

TEST(Fnv1aTest, GivesThePublishedAnswers) {
  EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(fnv1a64("foobar"), 0x85944171f73967e8ull);
  EXPECT_EQ(fnv1a32(""), 0x811c9dc5u);
  EXPECT_EQ(fnv1a32("a"), 0xe40c292cu);
  EXPECT_EQ(fnv1a32("foobar"), 0xbf9cf968u);
  // Fed in pieces, bytes and text alike, it is the same hash.
  const std::uint8_t bar[] = {'b', 'a', 'r'};
  EXPECT_EQ(Fnv1a64().add("foo").add(std::span<const std::uint8_t>(bar)).value(),
            fnv1a64("foobar"));
  EXPECT_EQ(Fnv1a64().addUnit('a').value(), fnv1a64("a"));
}

}  // namespace
}  // namespace leafward
