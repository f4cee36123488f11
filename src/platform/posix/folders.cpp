#include "platform/folders.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/file.h"
#include "platform/posix/errors.h"

namespace leafward::platform {

void createFolders(const std::string& path) {
  // Each prefix of the path that ends before a '/', then the whole path.
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string folder = path.substr(0, end);
    if (!folder.empty() && folder.back() != '/') {
      if (::mkdir(folder.c_str(), 0700) == 0) {
        syncFolder(parentFolder(folder));
      } else {
        const int error = errno;
        struct stat info {};
        if (error != EEXIST || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
          failWith("cannot make the folder", folder, error);
        }
      }
    }
    if (end == std::string::npos) return;
  }
}

std::string childPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace leafward::platform
