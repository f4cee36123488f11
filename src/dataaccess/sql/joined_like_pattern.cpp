#include "dataaccess/sql/joined_like_pattern.h"

#include "dataaccess/sql/text_fold.h"

namespace leafward::sql {

// A lead without wildcards compiles to one literal character per character, so the whole
// pattern is the folded lead followed by the tail's own elements. A well-formed lead also
// ends on a character boundary: a folded text that begins with its bytes begins with its
// characters, which a dangling lead byte (a character of its own) would not guarantee.
bool JoinedLikePattern::setLead(std::string_view lead) {
  prefix_.clear();
  leadLength_ = 0;
  std::size_t pos = 0;
  while (pos < lead.size()) {
    const char c = lead[pos];
    if (c == '%' || c == '_' || c == '[') return false;
    if (static_cast<unsigned char>(c) < 0x80) {
      prefix_.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
      ++pos;
    } else {
      const char32_t character = nextCharacter(lead, pos);
      if (character >= kRawByteBase) return false;
      appendCharacter(prefix_, foldCase(character));
    }
    ++leadLength_;
  }
  leadBytes_ = prefix_.size();
  prefix_.append(tail_.foldedPrefix());
  return true;
}

}  // namespace leafward::sql
