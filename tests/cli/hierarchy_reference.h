#pragma once

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::testing {

// The hierarchy rule worked out apart from the program under test, for ASCII codes without
// "[": a code has sub-accounts when another code matches it followed by "_%" under Jet's LIKE
// (the code itself is the pattern, so "_" and "%" in it act as wildcards; case does not count).
class HierarchyReference {
 public:
  explicit HierarchyReference(const std::vector<std::optional<std::string>>& codes) {
    for (const auto& code : codes) {
      if (!code) continue;
      if (code->find('[') != std::string::npos) throw std::invalid_argument("a code holds [");
      codes_.push_back(lowered(*code));
    }
    std::sort(codes_.begin(), codes_.end());
  }

  // A NULL code has none: the pattern is NULL.
  bool hasSubAccounts(const std::optional<std::string>& code) const {
    if (!code) return false;
    const std::string pattern = lowered(*code);
    if (pattern.find_first_of("_%") != std::string::npos) {
      return std::any_of(codes_.begin(), codes_.end(),
                         [&](const std::string& other) { return like(other, pattern + "_%"); });
    }
    // Plain text: any longer code beginning with it.
    for (auto it = std::lower_bound(codes_.begin(), codes_.end(), pattern);
         it != codes_.end() && it->compare(0, pattern.size(), pattern) == 0; ++it) {
      if (it->size() > pattern.size()) return true;
    }
    return false;
  }

  static bool like(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return text.empty();
    if (pattern[0] == '%') {
      for (std::size_t skip = 0; skip <= text.size(); ++skip) {
        if (like(text.substr(skip), pattern.substr(1))) return true;
      }
      return false;
    }
    if (text.empty()) return false;
    if (pattern[0] != '_' && pattern[0] != text[0]) return false;
    return like(text.substr(1), pattern.substr(1));
  }

 private:
  static std::string lowered(std::string text) {
    for (char& c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
  }

  std::vector<std::string> codes_;
};

}  // namespace leafward::testing
