#include "cli/command_line.h"

#include <algorithm>
#include <stdexcept>

namespace leafward::cli {
namespace {

std::vector<std::string>::const_iterator endOfOptions(const std::vector<std::string>& words) {
  return std::find(words.begin(), words.end(), kEndOfOptions);
}

}  // namespace

bool asksForHelp(const std::vector<std::string>& words) {
  const auto end = endOfOptions(words);
  return std::find(words.begin(), end, "-h") != end ||
         std::find(words.begin(), end, "--help") != end;
}

bool takeFlag(std::vector<std::string>& args, std::string_view flag) {
  const auto end = std::find(args.begin(), args.end(), kEndOfOptions);
  const auto kept = std::remove(args.begin(), end, flag);
  const bool found = kept != end;
  args.erase(kept, end);
  return found;
}

std::optional<std::string> takeValue(std::vector<std::string>& args, std::string_view option) {
  const std::string name(option);
  std::optional<std::string> value;
  for (std::size_t i = 0; i < args.size() && args[i] != kEndOfOptions;) {
    std::size_t words = 1;
    std::optional<std::string> found;
    if (args[i] == name) {
      if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
      found = args[i + 1];
      words = 2;
    } else if (args[i].starts_with(name + "=")) {
      found = args[i].substr(name.size() + 1);
    } else {
      ++i;
      continue;
    }
    if (value) throw std::invalid_argument(name + " is given twice");
    value = std::move(found);
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + words));
  }
  return value;
}

std::vector<std::string> takeOperands(const std::vector<std::string>& args) {
  std::vector<std::string> operands;
  const auto end = endOfOptions(args);
  for (auto word = args.begin(); word != end; ++word) {
    if (word->size() > 1 && word->front() == '-') {
      throw std::invalid_argument("unknown option '" + *word + "'");
    }
    operands.push_back(*word);
  }
  if (end != args.end()) operands.insert(operands.end(), end + 1, args.end());
  return operands;
}

}  // namespace leafward::cli
