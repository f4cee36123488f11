#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace leafward::sql {

// A LIKE pattern as Jet reads it, matched without regard to case (see foldCase):
//   %        any run of characters, also none
//   _        exactly one character
//   [set]    one character of the set; `a-z` is a range, `-` first or last is itself
//   [!set]   one character not in the set
//   []       nothing at all (it matches the empty text)
// A `[` without a closing `]` is an ordinary character. A range whose ends are the wrong way
// round matches no character. Every other character, `#` included, matches only itself.
// There is no escape character: a wildcard in the pattern text always acts as a wildcard.
class LikePattern {
 public:
  // Compiles `pattern`, reusing the storage of the previous one.
  void compile(std::string_view pattern);
  // Whether the pattern compiled last was exactly this text.
  bool compiledFrom(std::string_view pattern) const { return compiled_ && pattern == source_; }

  bool matches(std::string_view text) const;

  // The literal characters the pattern starts with, case-folded: every text the pattern
  // matches begins with them once folded.
  std::string_view foldedPrefix() const { return prefix_; }
  std::size_t prefixLength() const { return prefixLength_; }    // in characters
  std::size_t minimumLength() const { return minimumLength_; }  // in characters

 private:
  enum class Op : std::uint8_t { Char, AnyOne, AnyRun, Set, NotSet };
  struct Element {
    Op op;
    char32_t ch = 0;          // Char: the folded character
    std::uint32_t first = 0;  // Set, NotSet: ranges_[first, first + count)
    std::uint32_t count = 0;
  };

  bool compileSet(std::string_view pattern, std::size_t& pos);
  bool matchesOne(const Element& element, char32_t folded) const;

  std::string source_;
  bool compiled_ = false;
  std::vector<Element> elements_;
  std::vector<std::pair<char32_t, char32_t>> ranges_;  // folded, inclusive
  std::string prefix_;
  std::size_t prefixLength_ = 0;
  std::size_t minimumLength_ = 0;
};

}  // namespace leafward::sql
