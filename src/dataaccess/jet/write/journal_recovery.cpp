#include "dataaccess/jet/write/journal_recovery.h"

#include <optional>

#include "common/invariant.h"

#include "dataaccess/errors.h"
#include "dataaccess/jet/format/jet_format.h"
#include "dataaccess/jet/write/journal_format.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;
using dataaccess::ErrorKind;

[[noreturn]] void refuse(const Pager& pager, const std::string& journal, const std::string& why) {
  throw DataAccessError("a change to " + pager.displayName() +
                            " was interrupted and cannot be undone: " + why +
                            ". Its rollback journal " + journal + " was left in place",
                        ErrorKind::PendingRollback);
}

// What a journal found beside the file is.
struct Assessment {
  enum class State { Torn, Complete, Damaged };
  State state = State::Torn;
  std::string damage;         // how a damaged journal is damaged
  std::uint64_t length = 0;   // as the header gives it
  std::uint32_t records = 0;  // how many records to read (at most)
};

// Opens the journal without waiting on it, refusing anything but a regular file under its
// name: a link (even to nothing), a folder, a pipe or a device.
std::optional<platform::File> openJournal(const Pager& pager, const std::string& journal) {
  try {
    const platform::EntryKind kind = platform::entryKind(journal, platform::FinalLink::Keep);
    if (kind == platform::EntryKind::None) return std::nullopt;
    if (kind != platform::EntryKind::File) {
      refuse(pager, journal, "the journal is not a regular file");
    }
    platform::File file = platform::File::open(journal, platform::FileAccess::Read);
    if (!file.isRegular()) refuse(pager, journal, "the journal is not a regular file");
    return file;
  } catch (const platform::SystemError& error) {
    if (error.failure() == platform::Failure::NotFound) return std::nullopt;
    refuse(pager, journal, std::string("the journal cannot be read: ") + error.what());
  }
}

// The first page among the journal's first `most` intact records that no longer holds the
// image its record holds; nothing when each still does.
std::optional<std::uint32_t> pageChangedSince(const platform::File& journal, const Pager& pager,
                                              std::uint64_t length, std::uint32_t most) {
  JournalRecords records(journal, pager.pageSize(), pager.pageCount(), length);
  for (std::uint32_t n = 0; n + records.skipped() < most; ++n) {
    const auto record = records.next();
    if (!record) break;
    if (pager.readPage(record->page) != record->original) return record->page;
  }
  return std::nullopt;
}

Assessment assess(const platform::File& journal, const std::string& journalPath,
                  const Pager& pager) {
  if (const auto version = otherLayoutOf(journal)) {
    refuse(pager, journalPath,
           "the journal was written in layout " + std::to_string(*version) +
               ", which this program does not read; a program that reads it must undo the change");
  }
  const std::uint64_t size = journal.size();
  Assessment result;
  const std::optional<JournalHeader> header = readJournalHeader(journal);
  if (!header) {
    // A committed journal also carries its commit block at its end.
    if (size >= journal::kCommitSize && readCommitBlock(journal, size - journal::kCommitSize)) {
      return {Assessment::State::Damaged, "its header is damaged", 0, pager.pageCount()};
    }
    // Never committed, so its statement never wrote: it is torn. A page that no longer holds
    // its recorded image was changed by someone else, whose change an undo would throw away:
    // nothing is written, and the journal stays for a person to look at.
    if (const auto page = pageChangedSince(journal, pager, 0, pager.pageCount())) {
      refuse(pager, journalPath,
             "its header is damaged and it has no commit block, yet page " + std::to_string(*page) +
                 " has since been changed by another program");
    }
    return result;
  }

  const std::optional<CommitBlock> commit = readCommitBlock(journal, header->length);
  if (!header->committed && !commit) return result;
  result.length = header->length;
  result.records = header->records;
  if (header->pageSize != pager.pageSize() || header->fileSize != pager.fileSize()) {
    refuse(pager, journalPath, "the file's size has changed since");
  }
  JournalRecords records(journal, pager.pageSize(), pager.pageCount(), header->length);
  std::uint32_t intact = 0;
  while (intact + records.skipped() < header->records && records.next()) ++intact;
  if (intact < header->records) {
    result.state = Assessment::State::Damaged;
    const std::string first = "record " + std::to_string(records.firstUnreadable());
    const std::string all = std::to_string(header->records);
    result.damage = intact + 1 == header->records
                        ? "its " + first + " of " + all + " does not read back whole"
                        : std::to_string(header->records - intact) + " of its " + all +
                              " records do not read back whole, the first of them " + first;
  } else if (records.position() != header->length || !commit ||
             commit->records != header->records || commit->digest != records.digest()) {
    // The header is marked committed in the same sync as the commit block is written: a power
    // loss may keep the mark without the block. No page was written then, so each one the
    // journal records still holds its image, and there is nothing to undo.
    if (!commit && records.position() == header->length &&
        !pageChangedSince(journal, pager, header->length, header->records)) {
      return {};
    }
    result.state = Assessment::State::Damaged;
    result.damage = "its end does not match its header";
  } else if (size != header->length + journal::kCommitSize) {
    result.state = Assessment::State::Damaged;
    result.damage = "it is longer than it says";
  } else {
    result.state = Assessment::State::Complete;
  }
  return result;
}

// Puts back the original pages the journal's intact records hold (at most as many as it says):
// first checks that each page differs from its original in no other bits than the journaled
// ones, then writes. Returns how many pages it wrote.
std::size_t rollBack(Pager& pager, const platform::File& journal, const std::string& journalPath,
                     const Assessment& assessment) {
  LEAFWARD_INVARIANT("J6", assessment.state != Assessment::State::Torn);
  const auto eachRecord = [&](auto&& visit) {
    JournalRecords records(journal, pager.pageSize(), pager.pageCount(), assessment.length);
    for (std::uint32_t n = 0; n + records.skipped() < assessment.records; ++n) {
      const auto record = records.next();
      if (!record) break;
      visit(*record);
    }
  };
  // J7: every page checked before any is written.
  eachRecord([&](const PageChange& record) {
    // Only ever data pages: a record that says otherwise was not written by a statement.
    const std::vector<std::uint8_t> current = pager.readPage(record.page);
    if (current[0] != kPageData || record.original[0] != kPageData ||
        !record.onlyChangedBitsDiffer(current)) {
      refuse(pager, journalPath,
             "page " + std::to_string(record.page) + " has since been changed by another program");
    }
  });
  std::size_t written = 0;
  eachRecord([&](const PageChange& record) {
    const std::vector<std::uint8_t> current = pager.readPage(record.page);
    if (current == record.original) return;
    if (!record.onlyChangedBitsDiffer(current)) {
      refuse(pager, journalPath,
             "page " + std::to_string(record.page) + " changed while it was undone");
    }
    LEAFWARD_INVARIANT("J7", current[0] == kPageData && record.original[0] == kPageData);
    pager.writePage(record.page, record.original);
    ++written;
  });
  pager.sync();
  return written;
}

// Removes a journal whose statement never wrote, or keeps it when it cannot be removed.
Recovery discard(const Pager& pager, const std::string& journalPath, std::string* keptBecause) {
  try {
    removeJournal(journalPath);
  } catch (const DataAccessError& error) {
    if (keptBecause) {
      *keptBecause = "an unfinished rollback journal " + journalPath + " lies beside " +
                     pager.displayName() +
                     "; its change never reached the file, which is intact, but the journal "
                     "cannot be removed (" +
                     error.what() + "), so it was left in place";
    }
    return Recovery::KeptTornJournal;
  }
  return Recovery::DiscardedTornJournal;
}

// Rolls back what a complete or damaged journal records; false for a torn one, whose statement
// never wrote. A damaged journal is rolled back as far as it goes, then refused.
bool undo(Pager& pager, const platform::File& journal, const std::string& journalPath) {
  const Assessment assessment = assess(journal, journalPath, pager);
  if (assessment.state == Assessment::State::Torn) return false;
  rollBack(pager, journal, journalPath, assessment);
  if (assessment.state == Assessment::State::Complete) return true;
  throw DataAccessError(
      "the rollback journal " + journalPath + " of " + pager.displayName() + " is damaged (" +
          assessment.damage +
          "): the part of an interrupted change that it still records was undone, but the file "
          "may hold more of that change. The journal was kept: check the file (or restore it "
          "from a backup), then remove the journal",
      ErrorKind::PendingRollback);
}

}  // namespace

// J6.
Recovery recoverLocked(Pager& pager, const std::string& journalPath, std::string* keptBecause) {
  std::optional<platform::File> journal = openJournal(pager, journalPath);
  if (!journal) return Recovery::NothingToDo;
  bool rolledBack = false;
  try {
    rolledBack = undo(pager, *journal, journalPath);
  } catch (const platform::SystemError& error) {
    refuse(pager, journalPath, std::string("the journal cannot be read: ") + error.what());
  }
  journal->close();
  if (!rolledBack) return discard(pager, journalPath, keptBecause);
  // The old pages are back and durable. Should the journal's removal not be durable, a journal
  // that comes back is rolled back again, writing nothing.
  removeJournal(journalPath);
  return Recovery::RolledBack;
}

Recovery recoverWithoutWriting(const Pager& pager, const std::string& journalPath,
                               std::string* keptBecause) {
  std::optional<platform::File> journal = openJournal(pager, journalPath);
  if (!journal) return Recovery::NothingToDo;
  try {
    if (assess(*journal, journalPath, pager).state != Assessment::State::Torn) {
      refuse(pager, journalPath, "the file is read-only");
    }
  } catch (const platform::SystemError& error) {
    refuse(pager, journalPath, std::string("the journal cannot be read: ") + error.what());
  }
  journal->close();
  return discard(pager, journalPath, keptBecause);
}

}  // namespace leafward::jet
