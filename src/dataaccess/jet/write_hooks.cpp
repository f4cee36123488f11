#include "dataaccess/jet/write_hooks.h"

#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace leafward::jet {
namespace {

WriteStepHook installedHook = nullptr;

struct KillPoint {
  WriteStep step;
  std::size_t count;
};

std::optional<KillPoint> parseKillPoint(const char* text) {
  if (!text || !*text) return std::nullopt;
  std::string_view spec(text);
  std::size_t count = 1;
  if (auto colon = spec.find(':'); colon != std::string_view::npos) {
    count = std::strtoul(std::string(spec.substr(colon + 1)).c_str(), nullptr, 10);
    spec = spec.substr(0, colon);
  }
  if (spec == "journal-record") return KillPoint{WriteStep::JournalRecordWritten, count};
  if (spec == "journal-synced") return KillPoint{WriteStep::JournalSynced, count};
  if (spec == "page-written") return KillPoint{WriteStep::PageWritten, count};
  if (spec == "file-synced") return KillPoint{WriteStep::FileSynced, count};
  if (spec == "journal-removed") return KillPoint{WriteStep::JournalRemoved, count};
  return std::nullopt;
}

}  // namespace

void setWriteStepHook(WriteStepHook hook) {
  installedHook = hook;
}

void reachedWriteStep(WriteStep step, std::size_t count) {
  static const std::optional<KillPoint> killPoint =
      parseKillPoint(std::getenv("LEAFWARD_TEST_KILL_AT"));
  if (installedHook) installedHook(step, count);
  if (killPoint && killPoint->step == step) {
    bool counted = step == WriteStep::JournalRecordWritten || step == WriteStep::PageWritten;
    if (!counted || killPoint->count == count) std::raise(SIGKILL);
  }
}

}  // namespace leafward::jet
