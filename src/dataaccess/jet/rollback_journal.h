#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/jet/durable_io.h"

namespace leafward::jet {

// Bits flipped in one byte of a page.
struct ByteChange {
  std::uint16_t offset = 0;
  std::uint8_t mask = 0;  // the bits that change
  bool operator==(const ByteChange&) const = default;
};

// One page a statement changes: its image before, and the bytes that change.
struct PageChange {
  std::uint32_t page = 0;
  std::vector<std::uint8_t> original;
  std::vector<ByteChange> changes;  // by offset, each offset once

  std::vector<std::uint8_t> changedImage() const;
  // Whether `current` equals the original image apart from the bits this change flips (so a
  // page caught halfway between the two still qualifies).
  bool onlyChangedBitsDiffer(const std::vector<std::uint8_t>& current) const;
};

// What a complete journal holds.
struct JournalContents {
  std::uint32_t pageSize = 0;
  std::uint64_t fileSize = 0;
  std::vector<PageChange> pages;
};

// The journal beside a database: `x.mdb` -> `x.mdb.leafward-journal`. The name cannot be
// mistaken for Access's own `x.ldb` lock file.
std::string journalPathFor(const std::string& databasePath);

// Creates the journal (it must not exist yet) with the original images of `pages`, then
// syncs it and its folder: once this returns, the pages may be overwritten. A journal that
// cannot be created refuses the statement as read-only; on any failure nothing is left
// behind that would count as a complete journal. `mode` gives the new file's permissions.
void writeJournal(const std::string& journalPath, std::uint32_t pageSize, std::uint64_t fileSize,
                  const std::vector<PageChange>& pages, unsigned mode, DurabilityStats& stats);

// Reads a journal. nullopt when it is incomplete or damaged: such a journal was never
// synced whole, so its statement never touched the database. Throws DataAccessError when
// the journal cannot be read at all.
std::optional<JournalContents> readJournal(const std::string& journalPath);

// Removes the journal and syncs its folder.
void removeJournal(const std::string& journalPath, DurabilityStats& stats);

}  // namespace leafward::jet
