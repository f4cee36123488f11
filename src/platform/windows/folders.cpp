#include "platform/folders.h"

#include <windows.h>

#include "platform/file.h"
#include "platform/windows/errors.h"
#include "platform/windows/wide_text.h"

namespace leafward::platform {
namespace {

bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// Where the folders that can be made begin: after "C:\", after "\\server\share\", or at once
// for a relative path.
std::size_t firstMadeFolder(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() > 2 && isSeparator(path[2]) ? 3 : 2;
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    std::size_t at = 2;
    for (int part = 0; part < 2 && at < path.size(); ++part) {
      while (at < path.size() && !isSeparator(path[at])) ++at;
      if (at < path.size()) ++at;
    }
    return at;
  }
  return isSeparator(path.empty() ? 'x' : path[0]) ? 1 : 0;
}

}  // namespace

void createFolders(const std::string& path) {
  for (std::size_t end = firstMadeFolder(path); end <= path.size(); ++end) {
    if (end < path.size() && !isSeparator(path[end])) continue;
    const std::string folder = path.substr(0, end);
    if (folder.empty() || isSeparator(folder.back())) continue;
    const std::wstring wide = wideFromUtf8(folder);
    if (CreateDirectoryW(wide.c_str(), nullptr)) {
      syncFolder(parentFolder(folder));
      continue;
    }
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      failWith("cannot make the folder", folder, error);
    }
  }
}

std::string childPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return isSeparator(folder.back()) || (folder.size() == 2 && folder[1] == ':')
             ? folder + name
             : folder + "\\" + name;
}

}  // namespace leafward::platform
