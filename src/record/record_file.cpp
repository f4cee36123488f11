#include "record/record_file.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "common/invariant.h"
#include "platform/folders.h"
#include "platform/lock_wait.h"
#include "platform/program_text.h"
#include "platform/user_account.h"
#include "record/repair_id.h"
#include "record/repair_states.h"

// The rules the record and its anchor keep, cited where they are kept:
//
// R1  Rows are only appended; nothing before the end of the rows an anchor covers is written
//     again, and no row past them is kept unless an anchor covers it.
// R2  An append is made durable before the anchor that covers it is written; the anchor is made
//     durable before the append returns, and nothing a plan covers runs before then.
// R3  An anchor's size is never more than the record's: a record shorter than its anchor says was
//     cut short and is refused. Bytes past the anchor's size are an append that was stopped: rows
//     chained onto the anchor's checksum, the last perhaps unfinished; they are cut off with a
//     notice. Anything else there is refused.
// R4  An anchor exists before the first row of layout 2 is written: a record that holds such rows
//     without a whole anchor is refused; one of layout 1 without an anchor is Leafward 0.1.0's and
//     is read as 0.1.0 read it.
// R5  Every repair's id names a later moment than the id of the repair before it in layout 2, so
//     that ids are unique although only the last entries are read.

namespace leafward::record {
namespace {

using platform::Failure;
using platform::SystemError;

// Larger than any record a person keeps: a file beyond it is not read.
constexpr std::uint64_t kLargestRecord = std::uint64_t{1} << 30;
// What is read of a file to tell whose record it is.
constexpr std::size_t kBeginningBytes = 64 * 1024;
// Names tried for one account set before giving up.
constexpr unsigned kMostNames = 64;

std::string readRange(const platform::File& file, const std::string& path, std::uint64_t from,
                      std::uint64_t to) {
  if (to > kLargestRecord) {
    throw RecordError(path + " is larger than any record of repairs (" + std::to_string(to) +
                      " bytes)");
  }
  std::string bytes(static_cast<std::size_t>(to - from), '\0');
  const std::size_t got =
      file.readAt(from, {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()});
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

// Whose repairs the file at `path` holds: nothing when there is no file or it holds none yet.
struct Holder {
  bool exists = false;
  std::optional<AccountSet> set;
};
Holder holderOf(const std::string& path) {
  try {
    const platform::EntryKind kind = platform::entryKind(path, platform::FinalLink::Keep);
    if (kind == platform::EntryKind::None) return {};
    if (kind != platform::EntryKind::File) throw RecordError(path + " is not a regular file");
    const platform::File file = platform::File::open(path, platform::FileAccess::Read);
    const std::string beginning = readRange(file, path, 0, std::min(file.size(), kBeginningBytes));
    return {true, firstAccountSet(beginning, path)};
  } catch (const SystemError& error) {
    if (error.failure() == Failure::NotFound) return {};
    throw RecordError(std::string("cannot read the record of repairs: ") + error.what());
  }
}

std::string cutShort(const std::string& path, std::uint64_t size, std::uint64_t anchored) {
  return path + " has been cut short: it holds " + std::to_string(size) +
         " bytes, but its anchor " + anchorPath(path) + " says its rows end at byte " +
         std::to_string(anchored);
}

std::string notAfterAnchor(const std::string& path) {
  return path + " is damaged: after the rows its anchor " + anchorPath(path) +
         " covers it holds bytes that are not rows Leafward appended";
}

// The newest moment the ids of `repairs` name (R5).
std::int64_t latestOf(const std::vector<Repair>& repairs) {
  std::int64_t latest = INT64_MIN;
  for (const Repair& repair : repairs) latest = std::max(latest, instantOf(repair.id));
  return latest;
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
  const std::string legacy = platform::childPath(folder, set.legacyRecordFileName());
  const Holder old = holderOf(legacy);
  if (old.set && old.set->sameAs(set)) return legacy;
  for (unsigned probe = 1; probe <= kMostNames; ++probe) {
    const std::string path = platform::childPath(folder, set.recordFileName(probe));
    const Holder holder = holderOf(path);
    if (!holder.set || holder.set->sameAs(set)) return path;
  }
  throw RecordError("the names of the record of repairs of " + set.describe() + " in " + folder +
                    " are all taken by the records of other account sets");
}

RecordFile::RecordFile(platform::File file, std::string path, std::string folder,
                       const AccountSet& set)
    : file_(std::move(file)), path_(std::move(path)), folder_(std::move(folder)), set_(set) {}

std::optional<RecordPeek> RecordFile::peek(const std::string& chosenFolder, const AccountSet& set) {
  const std::string folder = chosenFolder.empty() ? recordFolder() : chosenFolder;
  try {
    const std::string path = recordPath(folder, set);
    const std::optional<std::optional<Anchor>> anchor = readAnchor(anchorPath(path));
    std::optional<platform::File> file;
    try {
      file = platform::File::open(path, platform::FileAccess::Read);
    } catch (const SystemError& error) {
      if (error.failure() != Failure::NotFound) throw;
      if (anchor) throw RecordError(path + " is missing, but its anchor is there");
      return std::nullopt;
    }
    requireRegular(*file, path);
    if (!file->tryLock(platform::LockKind::Shared)) return RecordPeek{{}, true};
    RecordFile record(std::move(*file), path, folder, set);
    record.readOnly_ = true;
    if (anchor && *anchor) {
      record.readAnchored(**anchor);
    } else {
      record.readUnanchored(anchor.has_value());
    }
    return RecordPeek{std::move(record.repairs_), false};
  } catch (const SystemError& error) {
    throw RecordError(std::string("cannot read the record of repairs: ") + error.what());
  }
}

RecordFile RecordFile::openForRepair(const std::string& chosenFolder, const AccountSet& set) {
  const std::string folder = chosenFolder.empty() ? recordFolder() : chosenFolder;
  try {
    platform::createFolders(folder);
    const std::string path = recordPath(folder, set);
    bool made = false;
    std::optional<platform::File> opened = openForAppending(path, made);
    if (opened) requireRegular(*opened, path);
    if (!opened || !platform::waitForLock(*opened, platform::LockKind::Exclusive)) {
      throw RecordError("the repair record " + path + " of " + set.describe() +
                        " is in use by another program or repair; try again when it is closed");
    }
    RecordFile record(std::move(*opened), path, folder, set);
    record.nameDurable_ = !made;
    record.anchor_ = AnchorFile::open(anchorPath(path));
    if (record.anchor_ && record.anchor_->current()) {
      record.readAnchored(*record.anchor_->current());
    } else {
      record.readUnanchored(record.anchor_.has_value());
    }
    return record;
  } catch (const SystemError& error) {
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
}

void RecordFile::readAnchored(const Anchor& anchor) {
  const std::uint64_t size = file_.size();
  // R3.
  if (size < anchor.size) throw RecordError(cutShort(path_, size, anchor.size));
  LEAFWARD_INVARIANT("R3", size >= anchor.size);
  if (size > anchor.size) {
    if (!rowsChainOn(readRange(file_, path_, anchor.size, size), anchor.checksum)) {
      throw RecordError(notAfterAnchor(path_));
    }
    if (readOnly_) return readAnchoredRows(anchor);
    file_.resize(anchor.size);
    file_.sync();
    notice_ = "修复记录 " + path_ + " 的末尾有写入时被中断、没有写完的内容，已将其删去";
  }
  readAnchoredRows(anchor);
}

void RecordFile::readAnchoredRows(const Anchor& anchor) {
  RecordContents contents;
  const bool fromStart = anchor.last.offset == 0 || anchor.needed.offset == kUnknownPlace;
  if (fromStart) {
    contents = readRecordText(readRange(file_, path_, 0, anchor.size), set_, path_);
  } else {
    const EntryPlace& from = anchor.needed.offset != 0 ? anchor.needed : anchor.last;
    contents = readRecordRows(readRange(file_, path_, from.offset, anchor.size), from, set_, path_);
    if (contents.repairs.empty() || contents.places.back() != anchor.last) {
      throw RecordError(path_ + " is damaged: its last repair does not begin where its anchor " +
                        anchorPath(path_) + " says");
    }
  }
  if (contents.checksum != anchor.checksum || contents.wholeSize != anchor.size) {
    throw RecordError(path_ + " does not end as its anchor " + anchorPath(path_) +
                      " says: the record or its anchor was changed");
  }
  repairs_ = std::move(contents.repairs);
  places_ = std::move(contents.places);
  whole_ = fromStart;
  layout_ = contents.layout;
  latest_ = latestOf(repairs_);
  writer_ = RowWriter(contents.checksum);
  size_ = anchor.size;
}

void RecordFile::readUnanchored(bool anchorDamaged) {
  const std::string bytes = readRange(file_, path_, 0, file_.size());
  RecordContents contents = readRecordText(bytes, set_, path_, Ending::Mend);
  // R4: only a file that never held a row of layout 2 can be without a whole anchor.
  const bool oldLayout =
      bytes.size() > kByteOrderMark.size() &&
      std::string_view(bytes).substr(kByteOrderMark.size()).starts_with(headerLine(Layout::One)) &&
      contents.layout == Layout::One;
  if (!oldLayout && !contents.repairs.empty()) {
    throw RecordError(path_ + " holds repairs but its anchor " + anchorPath(path_) + " is " +
                      (anchorDamaged ? "damaged" : "missing"));
  }
  if (!contents.headerIncomplete && contents.wholeSize < bytes.size() && !readOnly_) {
    // Rows a writer left unfinished: nobody else writes the file while we hold it.
    file_.resize(contents.wholeSize);
    file_.sync();
    notice_ = "修复记录 " + path_ + " 的末尾有写入时被中断、没有写完的内容，已将其删去";
  }
  headerIncomplete_ = contents.headerIncomplete;
  size_ = contents.headerIncomplete ? 0 : contents.wholeSize;
  // A file left empty or with half a header by a run that stopped may not be in its folder
  // for good either.
  nameDurable_ = nameDurable_ && !contents.headerIncomplete;
  repairs_ = std::move(contents.repairs);
  places_ = std::move(contents.places);
  whole_ = true;
  layout_ = contents.headerIncomplete ? Layout::Two : contents.layout;
  latest_ = latestOf(repairs_);
  writer_ = RowWriter(contents.checksum);
}

Anchor RecordFile::nextAnchor(std::uint64_t size) const {
  Anchor anchor;
  anchor.size = size;
  anchor.checksum = writer_.checksum();
  if (!places_.empty()) anchor.last = places_.back();
  const UndoChoice choice = chooseUndo(repairs_);
  if (choice.target) {
    anchor.needed = places_[*choice.target];
  } else if (!whole_) {
    anchor.needed.offset = kUnknownPlace;  // before the entries read: the next undo reads all
  }
  return anchor;
}

// Before the first row of layout 2 (R4): the header of a new file, durable, then the anchor that
// covers what the file holds.
void RecordFile::anchorFirst() {
  if (headerIncomplete_) {
    const std::string header = std::string(kByteOrderMark) + headerLine(Layout::Two);
    file_.resize(0);
    file_.writeAt(0, {reinterpret_cast<const std::uint8_t*>(header.data()), header.size()});
    file_.sync();
    if (!nameDurable_) platform::syncFolder(folder_);
    nameDurable_ = true;
    headerIncomplete_ = false;
    size_ = header.size();
    layout_ = Layout::Two;
    writer_ = RowWriter::afterHeader();
  }
  anchor_ = AnchorFile::create(anchorPath(path_), nextAnchor(size_));
}

void RecordFile::ready() {
  if (broken_) throw RecordError("an earlier write of " + path_ + " failed");
  if (anchor_ && anchor_->current()) return;
  broken_ = true;
  try {
    anchorFirst();
  } catch (const SystemError& error) {
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
  broken_ = false;
}

void RecordFile::append(std::string text) {
  LEAFWARD_INVARIANT("R4", anchor_ && anchor_->current());
  LEAFWARD_INVARIANT("R1", anchor_->current()->size == size_);
  broken_ = true;
  try {
    // R2: the rows durable, then the anchor that covers them.
    file_.writeAt(size_, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    file_.sync();
    if (!nameDurable_) platform::syncFolder(folder_);
    nameDurable_ = true;
  } catch (const SystemError& error) {
    // Half a row is cut off where we can (R1: the next open cuts what is left).
    try {
      file_.resize(size_);
      file_.sync();
    } catch (const SystemError&) {
    }
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
  const Anchor before = *anchor_->current();
  try {
    anchor_->write(nextAnchor(size_ + text.size()));
  } catch (const RecordError&) {
    // The rows may be covered or not: take them back, rows and anchor, where the disk lets us,
    // so that nothing that never ran is taken for planned. What cannot be taken back is a
    // record shorter than its anchor, refused when it is next opened.
    try {
      file_.resize(size_);
      file_.sync();
      anchor_->write(before);
    } catch (const std::exception&) {
    }
    throw;
  }
  size_ += text.size();
  LEAFWARD_INVARIANT("R2", anchor_->current()->size == size_);
  broken_ = false;
}

void RecordFile::begin(Repair& repair) {
  ready();
  platform::LocalTime now = platform::localTimeNow();
  // R5.
  if (latest_ != INT64_MIN && instantOf(repairId(now)) <= latest_) {
    now = localTimeAt(latest_ + 1, now.utcOffsetMinutes);
  }
  repair.id = repairId(now);
  LEAFWARD_INVARIANT("R5", latest_ == INT64_MIN || instantOf(repair.id) > latest_);
  repair.user = platform::userName();
  repair.computer = platform::computerName();
  repair.version = LEAFWARD_VERSION;
  repair.accountSet = set_;
  std::string text;
  RowWriter writer = writer_;
  if (layout_ == Layout::One) text = writer_.layoutSwitch(LEAFWARD_VERSION);
  const EntryPlace place{size_ + text.size(), writer_.checksum()};
  text += writer_.beginning(repair);
  repairs_.push_back(repair);
  places_.push_back(place);
  try {
    append(std::move(text));
  } catch (const RecordError&) {
    repairs_.pop_back();
    places_.pop_back();
    writer_ = writer;
    throw;
  }
  layout_ = Layout::Two;
  latest_ = instantOf(repair.id);
}

void RecordFile::confirm(const Repair& repair, std::size_t step) {
  if (repairs_.empty() || repairs_.back().id != repair.id) {
    throw RecordError("only the last repair of " + path_ + " can be confirmed");
  }
  ready();
  append(writer_.confirmation(repair, step));
  repairs_.back().steps[step].confirmation = repair.steps.at(step).confirmation;
}

void RecordFile::takeUp(std::size_t step, TakeUp& takeUp) {
  if (repairs_.empty()) throw RecordError(path_ + " holds no repair to take up");
  ready();
  takeUp.time = repairId(platform::localTimeNow());
  takeUp.user = platform::userName();
  takeUp.computer = platform::computerName();
  takeUp.version = LEAFWARD_VERSION;
  append(writer_.takeUp(repairs_.back(), step, takeUp));
  repairs_.back().steps.at(step).takeUps.push_back(takeUp);
}

RecordReading readRecord(const std::string& folder, const AccountSet& set) {
  RecordReading reading;
  const std::string chosen = folder.empty() ? recordFolder() : folder;
  reading.path = recordPath(chosen, set);
  const std::string anchorAt = anchorPath(reading.path);
  try {
    // The anchor before the rows: an append only ever makes the rows longer than it says.
    const std::optional<std::optional<Anchor>> anchor = readAnchor(anchorAt);
    std::optional<platform::File> file;
    try {
      file = platform::File::open(reading.path, platform::FileAccess::Read);
    } catch (const SystemError& error) {
      if (error.failure() != Failure::NotFound) throw;
      if (anchor) {
        throw RecordError(reading.path + " is missing, but its anchor " + anchorAt + " is there");
      }
      return reading;
    }
    requireRegular(*file, reading.path);
    // A repair holds the file for as long as it runs; otherwise nobody writes it meanwhile.
    reading.repairUnderWay = !file->tryLock(platform::LockKind::Shared);
    const std::string bytes = readRange(*file, reading.path, 0, file->size());
    const Ending ending = reading.repairUnderWay ? Ending::UnderWay : Ending::Mend;
    if (!anchor || !*anchor) {
      RecordContents contents = readRecordText(bytes, set, reading.path, ending);
      const bool oldLayout = contents.layout == Layout::One;
      if (!oldLayout && !contents.repairs.empty()) {
        throw RecordError(reading.path + " holds repairs but its anchor " + anchorAt + " is " +
                          (anchor ? "damaged" : "missing"));
      }
      reading.repairs = std::move(contents.repairs);
      return reading;
    }
    const Anchor& anchored = **anchor;
    if (bytes.size() < anchored.size) {
      throw RecordError(cutShort(reading.path, bytes.size(), anchored.size));
    }
    if (reading.repairUnderWay) {
      reading.repairs = readRecordText(bytes, set, reading.path, Ending::UnderWay).repairs;
      return reading;
    }
    const std::string_view rows(bytes);
    if (!rowsChainOn(rows.substr(anchored.size), anchored.checksum)) {
      throw RecordError(notAfterAnchor(reading.path));
    }
    RecordContents contents = readRecordText(rows.substr(0, anchored.size), set, reading.path);
    if (contents.checksum != anchored.checksum) {
      throw RecordError(reading.path + " does not end as its anchor " + anchorAt +
                        " says: the record or its anchor was changed");
    }
    reading.repairs = std::move(contents.repairs);
  } catch (const SystemError& error) {
    throw RecordError(std::string("cannot read the record of repairs: ") + error.what());
  }
  return reading;
}

}  // namespace leafward::record
