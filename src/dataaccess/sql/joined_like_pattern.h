#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dataaccess/sql/like_pattern.h"

namespace leafward::sql {

// The LIKE pattern `lead + tail` where `tail` is fixed and `lead` changes from row to row
// (`code.ccode + '_%'`), without compiling the whole pattern for every lead. Only the tail is
// compiled; a lead is taken as it is when no character of it could act as a wildcard, and a
// text then matches when it begins with the folded lead and the tail matches the rest.
class JoinedLikePattern {
 public:
  explicit JoinedLikePattern(std::string_view tail) { tail_.compile(tail); }

  // Sets the lead; false when it holds `%`, `_`, `[` or a byte that is not well-formed UTF-8,
  // in which case the whole pattern must be compiled as usual.
  bool setLead(std::string_view lead);
  // The same for a lead that is folded already, which must outlive its use. Folding neither
  // makes nor removes a wildcard or a malformed byte, so it refuses the same leads.
  bool setFoldedLead(std::string_view folded);

  // As for LikePattern, for the lead set last.
  std::string_view foldedPrefix() const { return prefix_; }
  std::size_t prefixLength() const { return leadLength_ + tail_.prefixLength(); }
  std::size_t minimumLength() const { return leadLength_ + tail_.minimumLength(); }

  // Whether an already folded text that begins with foldedPrefix() matches.
  bool matchesFoldedCandidate(std::string_view folded) const {
    return tail_.matches(folded.substr(leadBytes_));
  }

 private:
  // Whether the lead can be taken as it is; counts its characters.
  bool isPlainLead(std::string_view lead);

  LikePattern tail_;
  std::string_view prefix_;     // the folded lead, then the tail's folded prefix
  std::string buffer_;          // holds prefix_ unless it is the folded lead alone
  std::size_t leadBytes_ = 0;   // of the folded lead
  std::size_t leadLength_ = 0;  // in characters
};

}  // namespace leafward::sql
