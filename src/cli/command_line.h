#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::cli {

// Options come before the first "--"; every word after it is an operand, also one that begins
// with "-" (a file named "-x.mdb").
inline constexpr std::string_view kEndOfOptions = "--";

// True when "-h" or "--help" is among the options.
bool asksForHelp(const std::vector<std::string>& words);

// Takes every `flag` among the options out of `args`; true when there was one.
bool takeFlag(std::vector<std::string>& args, std::string_view flag);

// Takes `option` and its value ("--option VALUE" or "--option=VALUE") out of the options of
// `args`; nothing when it is not there. Throws std::invalid_argument when it has no value or is
// given twice.
std::optional<std::string> takeValue(std::vector<std::string>& args, std::string_view option);

// The operands of `args` once the known options have been taken out: the words before the
// first "--" and all words after it, in order. Throws std::invalid_argument when a word before
// "--" still looks like an option (begins with "-" and is longer than "-").
std::vector<std::string> takeOperands(const std::vector<std::string>& args);

}  // namespace leafward::cli
