#include "dataaccess/jet/format/pager.h"

#include <algorithm>

#include "dataaccess/errors.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;
using platform::Failure;

constexpr std::size_t kLargestPage = kJet4PageSize;

bool isFolder(const std::string& path) {
  try {
    return platform::entryKind(path, platform::FinalLink::Follow) == platform::EntryKind::Folder;
  } catch (const platform::SystemError&) {
    return false;
  }
}

}  // namespace

Pager::Pager(const std::string& path, Access access, const std::string& displayName)
    : displayName_(displayName.empty() ? path : displayName) {
  const std::string file = "The file " + displayName_;
  if (path.empty()) throw DataAccessError("No file name was given");
  const bool writing = access == Access::ReadWrite;
  try {
    file_ = platform::File::open(
        path, writing ? platform::FileAccess::ReadWrite : platform::FileAccess::Read);
  } catch (const platform::SystemError& error) {
    switch (error.failure()) {
      case Failure::NotFound:
        throw DataAccessError(file + " does not exist");
      case Failure::AccessDenied:
        if (writing) {
          throw DataAccessError("the file " + displayName_ + " is read-only: " + error.what(),
                                ErrorKind::ReadOnly);
        }
        break;
      case Failure::InUse:
        throw DataAccessError("the file " + displayName_ + " is in use by another program",
                              ErrorKind::InUse);
      default:
        if (isFolder(path)) {
          throw DataAccessError("The path " + displayName_ +
                                " is a folder, not an Access database");
        }
        break;
    }
    throw DataAccessError(file + " cannot be opened: " + error.what());
  }
  try {
    if (!file_.isRegular()) {
      if (isFolder(path)) {
        throw DataAccessError("The path " + displayName_ + " is a folder, not an Access database");
      }
      throw DataAccessError("The path " + displayName_ + " is not a regular file");
    }
    const std::uint64_t size = file_.size();
    std::vector<std::uint8_t> first(std::min<std::uint64_t>(size, kLargestPage));
    first.resize(file_.readAt(0, first));
    header_ = inspectHeader(first, size, displayName_);
  } catch (const platform::SystemError& error) {
    failed("cannot be read", error);
  }
}

void Pager::failed(const std::string& what, const platform::SystemError& error) const {
  throw DataAccessError("The file " + displayName_ + " " + what + ": " + error.what());
}

void Pager::readPage(std::uint32_t number, std::span<std::uint8_t> into) const {
  if (into.size() != pageSize()) {
    throw DataAccessError("internal error: a page buffer of the wrong size");
  }
  readPages(number, into);
}

void Pager::readPages(std::uint32_t first, std::span<std::uint8_t> into) const {
  const std::size_t size = pageSize();
  if (into.empty() || into.size() % size != 0) {
    throw DataAccessError("internal error: a page buffer of the wrong size");
  }
  const std::uint64_t last = first + into.size() / size - 1;
  if (last >= pageCount()) {
    truncated("page " + std::to_string(last) + " lies past the end of the file");
  }
  std::size_t got = 0;
  try {
    got = file_.readAt(std::uint64_t{first} * size, into);
  } catch (const platform::SystemError& error) {
    failed("cannot be read", error);
  }
  if (got != into.size()) {
    truncated("page " + std::to_string(first + got / size) + " could not be read whole");
  }
}

std::vector<std::uint8_t> Pager::readPage(std::uint32_t number) const {
  std::vector<std::uint8_t> image(pageSize());
  readPage(number, image);
  return image;
}

void Pager::writePage(std::uint32_t number, std::span<const std::uint8_t> image) {
  if (image.size() != pageSize()) {
    throw DataAccessError("internal error: page " + std::to_string(number) + " of " + displayName_ +
                          " cannot be written");
  }
  writePages(number, image);
}

void Pager::writePages(std::uint32_t first, std::span<const std::uint8_t> images) {
  const std::size_t size = pageSize();
  if (images.empty() || images.size() % size != 0 ||
      first + images.size() / size > std::uint64_t{pageCount()}) {
    throw DataAccessError("internal error: page " + std::to_string(first) + " of " + displayName_ +
                          " cannot be written");
  }
  try {
    file_.writeAt(std::uint64_t{first} * size, images);
  } catch (const platform::SystemError& error) {
    failed("cannot be written", error);
  }
}

void Pager::sync() {
  try {
    file_.sync();
  } catch (const platform::SystemError& error) {
    failed("cannot be flushed to disk", error);
  }
}

void Pager::refreshSize() {
  std::uint64_t size = 0;
  try {
    size = file_.size();
  } catch (const platform::SystemError& error) {
    failed("cannot be read", error);
  }
  if (size == fileSize()) return;
  if (size < fileSize()) {
    throw DataAccessError("The file " + displayName_ +
                          " became shorter while it was open (another program changed it); "
                          "open it again");
  }
  if (size % pageSize() != 0 || size / pageSize() > 0xFFFFFF) {
    damaged("its size changed to " + std::to_string(size) + " bytes while it was open");
  }
  header_.pageCount = static_cast<std::uint32_t>(size / pageSize());
}

void Pager::damaged(const std::string& what) const {
  throw DataAccessError("The file " + displayName_ + " is damaged: " + what);
}

void Pager::truncated(const std::string& what) const {
  throw DataAccessError("The file " + displayName_ + " is truncated: " + what);
}

}  // namespace leafward::jet
