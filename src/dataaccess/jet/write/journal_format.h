#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The rollback journal's layout, shared by the code that writes journals and the code that
// reads them back after a crash.
//
// A journal holds, before a statement overwrites any page of the database, the original image
// of every page the statement changes:
//
//   header   64 bytes   magic[8] version:u32 pageSize:u32 fileSize:u64 records:u32
//                       committed:u32 length:u64 reserved[16] checksum:u64 (of bytes 0..55)
//   records  one per page: page:u32 changes:u16 0:u16, changes x (offset:u16 mask:u8 0:u8),
//            original image[pageSize], checksum:u64 (of the record's bytes before it)
//   commit   32 bytes at offset `length`: magic[8] records:u32 0:u32 digest:u64 checksum:u64
//            (digest: of `length` and every record's checksum; checksum: of bytes 0..23)
//
// The header and the records are written and synced first, with `committed` 0. Only then is
// the journal committed: the commit block is written and the header rewritten with
// `committed` 1, and both are synced. Pages of the database are written only after that.
//
// So a journal that is not committed was never fully synced and its statement never touched
// the database: it is torn, and may be thrown away. So is one whose header alone says it is
// committed while every page it records still holds its image: a power loss kept the header
// but not the commit block. A committed journal that does not read back whole is damaged: the
// database may hold some of its statement's pages, so whatever its intact records prove is
// rolled back and the journal is kept for a person to look at. A journal with the magic but
// another version was written in a layout this program does not read (version 1: a 40-byte
// header and no commit block): it is kept, never taken for torn.
//
// The rules the writer (flag_writer.cpp), the journal (rollback_journal.cpp) and recovery
// (journal_recovery.cpp) keep, cited where each is kept and checked there in debug builds:
//
// J1  Before its first page is written, a statement's journal holds the original image of every
//     page the statement writes, one record a page naming the bits that change, and the
//     journal and its name are durable.
// J2  The journal is committed (its commit block, then its header marked committed, both
//     durable) before the first page of the database is written; until then the file is as it
//     was.
// J3  A statement changes only the bits its journal's records name: a Yes/No value inside a
//     row. No other byte of the file changes.
// J4  The file is made durable before the journal is removed; a statement is done only once its
//     journal is gone.
// J5  A statement that fails after its journal was committed is undone from the journal there
//     and then, or its journal stays for the next open to undo: the file and the report agree.
// J6  Whoever opens the file deals with a journal beside it first, holding the file's lock: one
//     never committed (or marked committed without its commit block while every page holds its
//     image) is torn and removed without writing the file; a complete one is rolled back, the
//     file made durable, then removed; a damaged one is rolled back as far as its intact
//     records prove and kept; one of another layout, or anything but a regular file under the
//     name, is kept and the file refused.
// J7  A rollback writes only data pages, and a page only where it differs from its journaled
//     image in the journaled bits alone: a change another program made since is never undone.
// J8  Readers hold the file's shared lock while they read; the writer holds its exclusive lock
//     from before it writes its journal until the journal is gone. No reader sees half a
//     statement.
namespace leafward::jet::journal {

inline constexpr std::string_view kMagic{"LWJRNL\r\n", 8};
inline constexpr std::string_view kCommitMagic{"LWCOMMIT", 8};
inline constexpr std::uint32_t kVersion = 2;

inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kHeaderChecked = 56;  // bytes the header's checksum covers
inline constexpr std::size_t kVersionAt = 8;
inline constexpr std::size_t kPageSizeAt = 12;
inline constexpr std::size_t kFileSizeAt = 16;
inline constexpr std::size_t kRecordsAt = 24;
inline constexpr std::size_t kCommittedAt = 28;
inline constexpr std::size_t kLengthAt = 32;
inline constexpr std::size_t kHeaderChecksumAt = 56;

inline constexpr std::size_t kRecordPageAt = 0;
inline constexpr std::size_t kRecordChangesAt = 4;
inline constexpr std::size_t kRecordHead = 8;  // where the changes start
inline constexpr std::size_t kChangeOffsetAt = 0;
inline constexpr std::size_t kChangeMaskAt = 2;
inline constexpr std::size_t kChangeSize = 4;
inline constexpr std::size_t kChecksumSize = 8;

inline constexpr std::size_t kCommitSize = 32;
inline constexpr std::size_t kCommitRecordsAt = 8;
inline constexpr std::size_t kCommitDigestAt = 16;
inline constexpr std::size_t kCommitChecksumAt = 24;

inline constexpr std::size_t recordSize(std::size_t pageSize, std::size_t changes) {
  return kRecordHead + changes * kChangeSize + pageSize + kChecksumSize;
}

}  // namespace leafward::jet::journal
