#include "record/record_file.h"

#include <chrono>
#include <optional>
#include <thread>

#include "platform/folders.h"
#include "platform/lock_wait.h"
#include "platform/program_text.h"
#include "platform/user_account.h"
#include "record/repair_id.h"

namespace leafward::record {
namespace {

using platform::Failure;
using platform::SystemError;

// Larger than any record a person keeps: a file beyond it is not read.
constexpr std::uint64_t kLargestRecord = std::uint64_t{1} << 30;

std::string readWhole(const platform::File& file, const std::string& path) {
  const std::uint64_t size = file.size();
  if (size > kLargestRecord) {
    throw RecordError(path + " is larger than any record of repairs (" + std::to_string(size) +
                      " bytes)");
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  const std::size_t got =
      file.readAt(0, {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()});
  bytes.resize(got);
  return bytes;
}

void requireRegular(const platform::File& file, const std::string& path) {
  if (!file.isRegular()) throw RecordError(path + " is not a regular file");
}

// The record file open for appending, made when there is none; nothing when another program
// or repair holds it open (Windows lets no second writer open it) for longer than a reader waits.
std::optional<platform::File> openForAppending(const std::string& path, bool& made) {
  const auto deadline = std::chrono::steady_clock::now() + platform::kLockWait;
  for (;;) {
    // A link, a folder or a device under the name would be opened as not found and then not
    // made because the name is taken, for ever.
    const platform::EntryKind kind = platform::entryKind(path, platform::FinalLink::Keep);
    if (kind != platform::EntryKind::None && kind != platform::EntryKind::File) {
      throw RecordError(path + " is not a regular file");
    }
    const bool late = std::chrono::steady_clock::now() >= deadline;
    try {
      made = false;
      return platform::File::open(path, platform::FileAccess::ReadWrite);
    } catch (const SystemError& error) {
      if (error.failure() == Failure::InUse) {
        if (late) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      }
      if (error.failure() != Failure::NotFound) throw;
    }
    try {
      made = true;
      return platform::File::createNew(path);
    } catch (const SystemError& error) {
      // Another repair made it first: open that one, unless the name keeps coming and going.
      if (error.failure() != Failure::AlreadyExists || late) throw;
    }
  }
}

}  // namespace

std::string recordFolder() {
  const auto chosen = platform::environmentVariable("LEAFWARD_RECORD_DIR");
  if (chosen && !chosen->empty()) return *chosen;
  try {
    return platform::repairRecordFolder();
  } catch (const SystemError& error) {
    throw RecordError(error.what());
  }
}

std::string recordPath(const std::string& folder, const AccountSet& set) {
  return platform::childPath(folder, set.recordFileName());
}

RecordFile::RecordFile(platform::File file, std::string path, std::string folder,
                       const AccountSet& set)
    : file_(std::move(file)), path_(std::move(path)), folder_(std::move(folder)), set_(set) {}

RecordFile RecordFile::openForRepair(const std::string& chosenFolder, const AccountSet& set) {
  const std::string folder = chosenFolder.empty() ? recordFolder() : chosenFolder;
  const std::string path = recordPath(folder, set);
  try {
    platform::createFolders(folder);
    bool made = false;
    std::optional<platform::File> opened = openForAppending(path, made);
    if (opened) requireRegular(*opened, path);
    if (!opened || !platform::waitForLock(*opened, platform::LockKind::Exclusive)) {
      throw RecordError("the repair record " + path + " of " + set.describe() +
                        " is in use by another program or repair; try again when it is closed");
    }
    platform::File file = std::move(*opened);
    const std::string bytes = readWhole(file, path);
    RecordContents contents = readRecordText(bytes, set, path);
    RecordFile record(std::move(file), path, folder, set);
    if (!contents.headerIncomplete && contents.wholeSize < bytes.size()) {
      // Rows a writer left unfinished: nobody else writes the file while we hold it.
      record.file_.resize(contents.wholeSize);
      record.file_.sync();
      record.notice_ = "修复记录 " + path + " 的末尾有写入时被中断、没有写完的内容，已将其删去";
    }
    record.repairs_ = std::move(contents.repairs);
    record.writer_ = RowWriter(contents.checksum);
    record.headerIncomplete_ = contents.headerIncomplete;
    record.size_ = contents.headerIncomplete ? 0 : contents.wholeSize;
    // A file left empty or with half a header by a run that stopped may not be in its folder
    // for good either.
    record.nameDurable_ = !made && !contents.headerIncomplete;
    return record;
  } catch (const SystemError& error) {
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
}

void RecordFile::begin(Repair& repair) {
  platform::LocalTime now = platform::localTimeNow();
  const auto taken = [&](const std::string& id) {
    for (const Repair& earlier : repairs_) {
      if (earlier.id == id) return true;
    }
    return false;
  };
  while (taken(repairId(now))) now = oneMillisecondLater(now);
  repair.id = repairId(now);
  repair.user = platform::userName();
  repair.computer = platform::computerName();
  repair.version = LEAFWARD_VERSION;
  repair.accountSet = set_;
  append(writer_.beginning(repair));
  repairs_.push_back(repair);
}

void RecordFile::confirm(const Repair& repair, std::size_t step) {
  append(writer_.confirmation(repair, step));
  for (Repair& kept : repairs_) {
    if (kept.id == repair.id) kept = repair;
  }
}

void RecordFile::append(std::string text) {
  if (broken_) throw RecordError("an earlier write of " + path_ + " failed");
  if (headerIncomplete_) text = std::string(kByteOrderMark) + headerLine() + text;
  try {
    broken_ = true;
    file_.writeAt(size_, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    file_.sync();
    if (!nameDurable_) platform::syncFolder(folder_);
    broken_ = false;
  } catch (const SystemError& error) {
    // Half a row would make the file unreadable to the next repair: cut it off where we can
    // (openForRepair cuts what is left). The writer's chain is past these rows: nothing more
    // is appended here.
    try {
      file_.resize(size_);
      file_.sync();
    } catch (const SystemError&) {
    }
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
  nameDurable_ = true;
  headerIncomplete_ = false;
  size_ += text.size();
}

RecordReading readRecord(const std::string& folder, const AccountSet& set) {
  RecordReading reading;
  reading.path = recordPath(folder.empty() ? recordFolder() : folder, set);
  try {
    platform::File file = platform::File::open(reading.path, platform::FileAccess::Read);
    requireRegular(file, reading.path);
    // A repair holds the file for as long as it runs; otherwise nobody writes it meanwhile.
    reading.repairUnderWay = !file.tryLock(platform::LockKind::Shared);
    const std::string bytes = readWhole(file, reading.path);
    reading.repairs = readRecordText(bytes, set, reading.path, reading.repairUnderWay).repairs;
  } catch (const SystemError& error) {
    if (error.failure() == Failure::NotFound) return reading;
    throw RecordError(std::string("cannot read the record of repairs: ") + error.what());
  }
  return reading;
}

}  // namespace leafward::record
