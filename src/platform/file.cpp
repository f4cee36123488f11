#include "platform/file.h"

#include "platform/system_file_calls.h"
#ifdef LEAFWARD_TEST_HOOKS
#include "platform/file_faults.h"
#endif

// The one seam every read, write, sync and lock of Leafward goes through. What a File does the
// same way on every system is here: the count of syncs and, in test builds, the faults a test
// chose (file_faults.h); the calls to the system are in posix/ and windows/.
namespace leafward::platform {
namespace {

thread_local std::uint64_t syncs = 0;

#ifdef LEAFWARD_TEST_HOOKS
using faults::Operation;

// Fails the operation as the system would when a test chose it to fail.
void faultPoint(Operation operation, const char* what, const std::string& path) {
  if (const auto fault = faults::take(operation, path)) faults::fail(*fault, what, path);
}
#else
// What users run has no faults to take: the points compile to nothing.
enum class Operation { Open, OpenForWriting, Read, Write, Sync, Size, Lock, Remove, Resize };

void faultPoint(Operation, const char*, const std::string&) {}
#endif

}  // namespace

File::~File() {
  close();
}

File::File(File&& other) noexcept
    : handle_(other.handle_),
      path_(std::move(other.path_)),
      locked_(other.locked_),
      claimed_(other.claimed_) {
  other.handle_ = -1;
  other.locked_ = false;
  other.claimed_ = false;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    locked_ = other.locked_;
    claimed_ = other.claimed_;
    other.handle_ = -1;
    other.locked_ = false;
    other.claimed_ = false;
  }
  return *this;
}

File File::open(const std::string& path, FileAccess access) {
  faultPoint(access == FileAccess::Read ? Operation::Open : Operation::OpenForWriting,
             "cannot open", path);
  return systemOpen(path, access);
}

File File::createNew(const std::string& path, const File* permissionsOf) {
  faultPoint(Operation::OpenForWriting, "cannot create", path);
  return systemCreateNew(path, permissionsOf);
}

std::uint64_t File::size() const {
  faultPoint(Operation::Size, "cannot examine", path_);
  return systemSize();
}

std::size_t File::readAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
  faultPoint(Operation::Read, "cannot read", path_);
  return systemReadAt(offset, into);
}

void File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
#ifdef LEAFWARD_TEST_HOOKS
  if (const auto fault = faults::take(Operation::Write, path_, bytes.size())) {
    if (*fault == faults::Fault::ShortWrite) systemWriteAt(offset, bytes.first(bytes.size() / 2));
    faults::fail(*fault, "cannot write", path_);
  }
#endif
  systemWriteAt(offset, bytes);
}

void File::sync() {
  ++syncs;
  faultPoint(Operation::Sync, "cannot flush", path_);
  systemSync();
}

void File::resize(std::uint64_t size) {
  faultPoint(Operation::Resize, "cannot resize", path_);
  systemResize(size);
}

bool File::tryLock(LockKind kind) {
  faultPoint(Operation::Lock, "cannot lock", path_);
  return systemTryLock(kind);
}

bool pathExists(const std::string& path) {
  return entryKind(path, FinalLink::Keep) != EntryKind::None;
}

bool removeFile(const std::string& path) {
  faultPoint(Operation::Remove, "cannot remove", path);
  return system_calls::removeFile(path);
}

void syncFolder(const std::string& folder) {
  ++syncs;
  faultPoint(Operation::Sync, "cannot flush the folder", folder);
  system_calls::syncFolder(folder);
}

std::uint64_t syncsMade() {
  return syncs;
}

}  // namespace leafward::platform
