#include "platform/user_account.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/system_error.h"

namespace leafward::platform {
namespace {

// The password database's entry for the effective user, or nothing.
template <class Field>
std::string fromPasswordEntry(Field field) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return {};
  }
  const char* value = field(*found);
  return value ? value : "";
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string userName() {
  std::string name = fromPasswordEntry([](const passwd& entry) { return entry.pw_name; });
  if (name.empty()) name = variable("USER");
  if (name.empty()) name = variable("LOGNAME");
  return name;
}

std::string computerName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

std::string repairRecordFolder() {
  const std::string state = variable("XDG_STATE_HOME");
  if (state.starts_with('/')) return state + "/leafward/repairs";
  std::string home = variable("HOME");
  if (home.empty()) home = fromPasswordEntry([](const passwd& entry) { return entry.pw_dir; });
  if (!home.starts_with('/')) {
    throw SystemError(Failure::NotFound,
                      "cannot find the folder for records of repairs: HOME is not set");
  }
  return home + "/.local/state/leafward/repairs";
}

}  // namespace leafward::platform
