#include "dataaccess/jet/write/flag_writer.h"

#include "common/invariant.h"
#include "dataaccess/errors.h"
#include "dataaccess/jet/format/page_stretches.h"
#include "dataaccess/jet/format/pager.h"
#include "dataaccess/jet/format/text.h"
#include "dataaccess/jet/write/flag_check.h"
#include "dataaccess/jet/write/journal_format.h"
#include "dataaccess/jet/write/journal_recovery.h"
#include "dataaccess/jet/write/write_hooks.h"
#include "platform/access_lock_file.h"
#include "platform/lock_wait.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;

// Access's lock file beside a database: `x.mdb` -> `x.ldb`.
std::string accessLockFilePath(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".ldb";
  return path.substr(0, dot) + ".ldb";
}

// A file or folder without any write permission is read-only to us, even to an administrator
// whom the system would let write anyway.
void refuseIfMarkedReadOnly(const FlagTarget& target) {
  try {
    if (platform::markedReadOnly(target.path)) {
      throw DataAccessError("the file " + target.displayName + " is read-only",
                            ErrorKind::ReadOnly);
    }
    const std::string folder = platform::parentFolder(target.path);
    if (platform::markedReadOnly(folder)) {
      throw DataAccessError("the folder " + folder +
                                " is read-only, so the change could not be made safely (it needs "
                                "a rollback journal there)",
                            ErrorKind::ReadOnly);
    }
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("cannot examine ") + target.displayName + ": " +
                          error.what());
  }
}

// Holds the file for the statement: Leafward's exclusive lock, and no Access lock file in use.
void lockForWriting(Pager& pager, const FlagTarget& target) {
  bool locked = false;
  try {
    locked = platform::waitForLock(pager.file(), platform::LockKind::Exclusive,
                                   platform::kWriterLockWait);
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("the file ") + target.displayName +
                              " cannot be changed safely: " + error.what(),
                          ErrorKind::InUse);
  }
  if (!locked) {
    throw DataAccessError("the file " + target.displayName + " is in use by another program",
                          ErrorKind::InUse);
  }
  const std::string lockFile = accessLockFilePath(target.path);
  platform::AccessLockFile state = platform::AccessLockFile::Absent;
  try {
    state = platform::probeAccessLockFile(lockFile);
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("the file ") + target.displayName +
                              " cannot be changed safely: " + error.what(),
                          ErrorKind::InUse);
  }
  if (state == platform::AccessLockFile::Held) {
    throw DataAccessError("the file " + target.displayName +
                              " is in use by another program (Access holds its lock file " +
                              lockFile + ")",
                          ErrorKind::InUse);
  }
}

// Journals are named after the file's path: a file with another name as well (a hard link)
// would have none under that name, so a reader there could see half a statement.
void refuseIfMoreThanOneName(Pager& pager, const FlagTarget& target) {
  std::uint64_t names = 1;
  try {
    names = pager.file().linkCount();
  } catch (const platform::SystemError& error) {
    throw DataAccessError(std::string("cannot examine ") + target.displayName + ": " +
                          error.what());
  }
  if (names > 1) {
    throw DataAccessError("the file " + target.displayName + " has " + std::to_string(names) +
                              " names (hard links), and a change to it could be half seen "
                              "through the others; give it one name to change it",
                          ErrorKind::MultipleNames);
  }
}

// Undoes a statement that failed after its journal was committed, then throws its failure: the
// file is as it was, or the journal stays for the next open to undo the rest.
[[noreturn]] void undoAfter(const DataAccessError& failure, Pager& pager,
                            const std::string& journal) {
  try {
    recoverLocked(pager, journal);
  } catch (const DataAccessError&) {
    throw DataAccessError(std::string(failure.what()) +
                          "; the change will be undone when the file is next opened");
  }
  throw DataAccessError(std::string(failure.what()) + "; the file was left as it was",
                        failure.kind());
}

// The definition as it stands in the file now must be the one the statement was planned on.
void refuseIfDefinitionChanged(const Pager& pager, const FlagTarget& target) {
  TextDecoder text(pager.format().version, target.codePage);
  if (readTableDefinition(pager, text, target.table.page, target.table.name) != target.table) {
    throw DataAccessError("the definition of table " + target.table.name + " in " +
                              target.displayName + " has changed since it was read",
                          ErrorKind::ChangedSinceRead);
  }
}

// Pages are read, and runs of consecutive ones written, this many at most at a time.
constexpr std::size_t kPagesPerRun = 32;

// Reads the flipped pages a stretch at a time: `eachPage` gets the flips and the image of each
// flipped page of a stretch (which it may change), then `eachRun` each run of consecutive
// flipped pages in it: its first page and their images.
template <class EachPage, class EachRun>
void forEachRun(const Pager& pager, const std::vector<PageFlips>& pages, EachPage&& eachPage,
                EachRun&& eachRun) {
  std::vector<std::uint32_t> numbers;
  numbers.reserve(pages.size());
  for (const PageFlips& flips : pages) numbers.push_back(flips.page);
  PageStretches stretches(pager, numbers, kPagesPerRun);
  for (std::size_t first = 0; first < pages.size();) {
    const std::size_t end = first + stretches.readFrom(first);
    for (std::size_t i = first; i < end; ++i) eachPage(pages[i], stretches.page(pages[i].page));
    for (std::size_t run = first; run < end;) {
      std::size_t count = 1;
      while (run + count < end && pages[run + count].page == pages[run].page + count) ++count;
      const std::uint32_t start = pages[run].page;
      eachRun(start, Bytes(stretches.images())
                         .subspan((start - stretches.first()) * pager.pageSize(),
                                  count * pager.pageSize()));
      run += count;
    }
    first = end;
  }
}

// The bits about to be flipped must still hold what the check found: the file is locked, so
// only a program that ignores the lock can have changed them. Checked as each page is written
// (the journal then holds whatever the page held when it was journaled).
void expectUnchanged(const FlagTarget& target, const PageFlips& flips, Bytes image) {
  for (std::size_t i = 0; i < flips.changes.size(); ++i) {
    const ByteChange& change = flips.changes[i];
    if ((image[change.offset] & change.mask) != flips.before[i]) {
      throw DataAccessError("page " + std::to_string(flips.page) + " of " + target.displayName +
                                " was changed by another program while the change was made",
                            ErrorKind::ChangedSinceRead);
    }
  }
}

// Writes the original images of the flipped pages to a journal, and commits it (J1, J2).
void journalPages(const Pager& pager, const std::string& journal, const platform::File& database,
                  const std::vector<PageFlips>& pages, DurabilityStats& stats) {
  std::uint64_t recordBytes = 0;
  for (const PageFlips& flips : pages) {
    recordBytes += journal::recordSize(pager.pageSize(), flips.changes.size());
  }
  JournalWriter writer(journal, database, static_cast<std::uint32_t>(pager.pageSize()),
                       pager.fileSize(), static_cast<std::uint32_t>(pages.size()), recordBytes);
  forEachRun(
      pager, pages,
      [&](const PageFlips& flips, Bytes image) { writer.add(flips.page, image, flips.changes); },
      [](std::uint32_t, Bytes) {});
  writer.commit(stats);
  LEAFWARD_INVARIANT("J2", writer.committed());
}

FlagWriteResult carryOut(const FlagTarget& target, const std::vector<FlagChange>& changes) {
  FlagWriteResult result;
  if (changes.empty()) return result;
  if (!target.column.is(JetType::Boolean)) {
    throw DataAccessError(
        target.column.name + " is not a Yes/No column of the table " + target.table.name,
        ErrorKind::ColumnNotWritable);
  }
  if (target.table.isIndexed(target.column.number)) {
    throw DataAccessError("the column " + target.column.name + " of " + target.table.name +
                              " is part of an index, which this program cannot update",
                          ErrorKind::IndexedColumn);
  }
  refuseIfMarkedReadOnly(target);
  Pager pager(target.path, Pager::Access::ReadWrite, target.displayName);
  lockForWriting(pager, target);  // J8: held until the pager goes, after the journal is gone
  refuseIfMoreThanOneName(pager, target);
  const std::string journal = journalPathFor(target.path);
  std::string keptBecause;
  // J6: an earlier statement's journal first.
  if (recoverLocked(pager, journal, &keptBecause) == Recovery::KeptTornJournal) {
    throw DataAccessError(keptBecause + "; the change needs its own journal there",
                          ErrorKind::PendingRollback);
  }
  refuseIfDefinitionChanged(pager, target);

  const std::vector<PageFlips> pages = checkFlagChanges(pager, target, changes, result);
  if (pages.empty()) return result;

  journalPages(pager, journal, pager.file(), pages, result.durability);
  bool fileDurable = false;
  try {
    std::size_t writes = 0;
    forEachRun(
        pager, pages,
        [&](const PageFlips& flips, std::span<std::uint8_t> image) {
          expectUnchanged(target, flips, image);
          // J3: only the bits the journal's record of this page names.
          for (const ByteChange& change : flips.changes) {
            LEAFWARD_INVARIANT("J3", change.mask != 0 && change.offset < image.size());
            image[change.offset] ^= change.mask;
          }
        },
        [&](std::uint32_t first, Bytes images) {
          pager.writePages(first, images);
          result.pagesWritten += images.size() / pager.pageSize();
          reachedWriteStep(WriteStep::PageWritten, ++writes);
        });
    pager.sync();
    fileDurable = true;
    reachedWriteStep(WriteStep::FileSynced, 0);
  } catch (const DataAccessError& error) {
    undoAfter(error, pager, journal);  // J5
  }
  std::string removalNotDurable;
  LEAFWARD_INVARIANT("J4", fileDurable);
  try {
    removalNotDurable = removeJournal(journal);
  } catch (const DataAccessError& error) {
    undoAfter(error, pager, journal);  // J5: a statement whose journal stays would be undone
  }
  if (!removalNotDurable.empty()) {
    // The statement is whole in the file and durable: it is done, and says what is left.
    result.notice = "the flags of " + target.displayName +
                    " were changed, but the removal of the rollback journal " + journal +
                    " may not be durable (" + removalNotDurable +
                    "): should the system stop before it writes the folder, the change will be "
                    "undone when the file is next opened";
  }
  return result;
}

}  // namespace

FlagWriteResult writeFlags(const FlagTarget& target, const std::vector<FlagChange>& changes) {
  const std::uint64_t syncsBefore = platform::syncsMade();
  FlagWriteResult result = carryOut(target, changes);
  result.durability.fsyncs = static_cast<unsigned>(platform::syncsMade() - syncsBefore);
  return result;
}

}  // namespace leafward::jet
