#include "dataaccess/sql/like_pattern.h"

#include "dataaccess/sql/text_fold.h"

namespace leafward::sql {

void LikePattern::compile(std::string_view pattern) {
  source_.assign(pattern);
  compiled_ = true;
  elements_.clear();
  ranges_.clear();
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    const char32_t c = nextCharacter(pattern, pos);
    if (c == '%') {
      if (elements_.empty() || elements_.back().op != Op::AnyRun) elements_.push_back({Op::AnyRun});
    } else if (c == '_') {
      elements_.push_back({Op::AnyOne});
    } else if (c != '[' || !compileSet(pattern, pos)) {
      elements_.push_back({Op::Char, foldCase(c)});
    }
  }

  prefix_.clear();
  prefixLength_ = 0;
  while (prefixLength_ < elements_.size() && elements_[prefixLength_].op == Op::Char) {
    appendCharacter(prefix_, elements_[prefixLength_].ch);
    ++prefixLength_;
  }
  minimumLength_ = 0;
  for (const Element& element : elements_) minimumLength_ += element.op != Op::AnyRun;
}

// `pos` is just past the `[`. Returns false, leaving `pos` alone, when no `]` closes the set.
bool LikePattern::compileSet(std::string_view pattern, std::size_t& pos) {
  const std::size_t close = pattern.find(']', pos);  // a `]` byte never occurs inside UTF-8
  if (close == std::string_view::npos) return false;
  const std::string_view body = pattern.substr(pos, close - pos);
  pos = close + 1;
  if (body.empty()) return true;

  std::size_t i = 0;
  const bool negated = body[0] == '!';
  if (negated) ++i;
  const auto first = static_cast<std::uint32_t>(ranges_.size());
  while (i < body.size()) {
    const char32_t low = foldCase(nextCharacter(body, i));
    char32_t high = low;
    if (i + 1 < body.size() && body[i] == '-') {
      ++i;
      high = foldCase(nextCharacter(body, i));
    }
    ranges_.emplace_back(low, high);
  }
  const auto count = static_cast<std::uint32_t>(ranges_.size()) - first;
  elements_.push_back({negated ? Op::NotSet : Op::Set, 0, first, count});
  return true;
}

bool LikePattern::matchesOne(const Element& element, char32_t folded) const {
  switch (element.op) {
    case Op::Char:
      return element.ch == folded;
    case Op::AnyOne:
      return true;
    case Op::Set:
    case Op::NotSet: {
      bool inSet = false;
      for (std::uint32_t k = element.first; k < element.first + element.count && !inSet; ++k) {
        inSet = ranges_[k].first <= folded && folded <= ranges_[k].second;
      }
      return inSet == (element.op == Op::Set);
    }
    case Op::AnyRun:
      break;
  }
  return false;
}

// Every element but `%` takes exactly one character, so on a mismatch it is enough to give
// one more character to the last `%` seen and retry from just after it.
bool LikePattern::matches(std::string_view text) const {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  const std::size_t count = elements_.size();
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t afterRun = kNone;
  std::size_t runEnd = 0;
  for (;;) {
    if (p < count && elements_[p].op == Op::AnyRun) {
      afterRun = ++p;
      runEnd = t;
      if (p == count) return true;  // a `%` at the end takes whatever is left
      continue;
    }
    if (t == text.size()) break;
    if (p < count) {
      std::size_t next = t;
      if (matchesOne(elements_[p], foldCase(nextCharacter(text, next)))) {
        ++p;
        t = next;
        continue;
      }
    }
    if (afterRun == kNone) return false;
    nextCharacter(text, runEnd);
    p = afterRun;
    t = runEnd;
  }
  return p == count;
}

}  // namespace leafward::sql
