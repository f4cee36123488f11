#include "platform/program_text.h"

#include <cstdlib>

namespace leafward::platform {

std::vector<std::string> programArguments(int argc, char** argv) {
  if (argc < 1) return {};
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::optional<std::string> environmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

// POSIX streams pass bytes as they are.
void useUtf8StandardStreams() {}

}  // namespace leafward::platform
