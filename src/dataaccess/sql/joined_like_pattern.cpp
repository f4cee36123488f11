#include "dataaccess/sql/joined_like_pattern.h"

#include <array>

#include "dataaccess/sql/text_fold.h"

namespace leafward::sql {

// A lead without wildcards compiles to one literal character per character, so the whole
// pattern is the folded lead followed by the tail's own elements. A well-formed lead also
// ends on a character boundary: a folded text that begins with its bytes begins with its
// characters, which a dangling lead byte (a character of its own) would not guarantee.
bool JoinedLikePattern::setLead(std::string_view lead) {
  if (!isPlainLead(lead)) return false;
  buffer_.clear();
  appendFolded(buffer_, lead);
  leadBytes_ = buffer_.size();
  buffer_.append(tail_.foldedPrefix());
  prefix_ = buffer_;
  return true;
}

bool JoinedLikePattern::setFoldedLead(std::string_view folded) {
  if (!isPlainLead(folded)) return false;
  leadBytes_ = folded.size();
  if (tail_.foldedPrefix().empty()) {
    prefix_ = folded;
  } else {
    buffer_.assign(folded);
    buffer_.append(tail_.foldedPrefix());
    prefix_ = buffer_;
  }
  return true;
}

bool JoinedLikePattern::isPlainLead(std::string_view lead) {
  // Most leads are short ASCII codes: one look at each byte settles them.
  static constexpr auto kNotPlainAscii = [] {
    std::array<bool, 256> table{};
    for (std::size_t c = 0x80; c < 256; ++c) table[c] = true;
    table['%'] = table['_'] = table['['] = true;
    return table;
  }();
  std::size_t pos = 0;
  while (pos < lead.size() && !kNotPlainAscii[static_cast<unsigned char>(lead[pos])]) ++pos;
  std::size_t length = pos;
  for (; pos < lead.size(); ++length) {
    const char c = lead[pos];
    if (static_cast<unsigned char>(c) < 0x80) {
      if (c == '%' || c == '_' || c == '[') return false;
      ++pos;
    } else if (nextCharacter(lead, pos) >= kRawByteBase) {
      return false;
    }
  }
  leadLength_ = length;
  return true;
}

}  // namespace leafward::sql
