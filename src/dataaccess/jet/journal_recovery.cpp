#include "dataaccess/jet/journal_recovery.h"

#include <sys/stat.h>

#include <cerrno>
#include <optional>

#include "dataaccess/jet/file_lock.h"
#include "dataaccess/jet/rollback_journal.h"
#include "dataaccess/jet/write_refusal.h"

namespace leafward::jet {
namespace {

bool exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

[[noreturn]] void refusePending(const std::string& path, const std::string& journal,
                                const std::string& why) {
  throw WriteRefused(WriteRefused::Reason::PendingRollback,
                     "a change to " + path + " was interrupted and cannot be undone: " + why +
                         ". Its rollback journal " + journal + " was left in place");
}

Recovery discard(const std::string& path, const std::string& journal, DurabilityStats& stats) {
  try {
    removeJournal(journal, stats);
  } catch (const dataaccess::DataAccessError& error) {
    throw WriteRefused(WriteRefused::Reason::PendingRollback,
                       "an unfinished rollback journal " + journal + " lies beside " + path +
                           " (the file itself is intact) and cannot be removed: " + error.what());
  }
  return Recovery::DiscardedIncompleteJournal;
}

}  // namespace

Recovery recoverLocked(PageFile& file, DurabilityStats& stats) {
  const std::string& path = file.path();
  std::string journal = journalPathFor(path);
  if (!exists(journal)) return Recovery::NothingToDo;
  std::optional<JournalContents> contents = readJournal(journal);
  if (!contents) return discard(path, journal, stats);

  if (contents->pageSize != file.pageSize() || contents->fileSize != file.fileSize()) {
    refusePending(path, journal, "the file's size has changed since");
  }
  std::vector<std::vector<std::uint8_t>> current;
  current.reserve(contents->pages.size());
  for (const auto& page : contents->pages) {
    current.push_back(file.readPage(page.page));
    if (!page.onlyChangedBitsDiffer(current.back())) {
      refusePending(
          path, journal,
          "page " + std::to_string(page.page) + " has since been changed by another program");
    }
  }
  for (std::size_t i = 0; i < contents->pages.size(); ++i) {
    const auto& page = contents->pages[i];
    if (current[i] != page.original) file.writePage(page.page, page.original);
  }
  syncFile(file.fd(), path, stats);
  removeJournal(journal, stats);
  return Recovery::RolledBack;
}

Recovery recoverIfNeeded(const std::string& path) {
  std::string journal = journalPathFor(path);
  if (!exists(journal)) return Recovery::NothingToDo;
  DurabilityStats stats;
  std::optional<PageFile> file;
  try {
    file.emplace(path, PageFile::Access::ReadWrite);
  } catch (const WriteRefused& refused) {
    if (refused.reason() != WriteRefused::Reason::ReadOnly) throw;
    if (!readJournal(journal)) return discard(path, journal, stats);
    refusePending(path, journal, "the file is read-only");
  }
  FileWriteLock lock(file->fd(), path);
  return recoverLocked(*file, stats);
}

}  // namespace leafward::jet
