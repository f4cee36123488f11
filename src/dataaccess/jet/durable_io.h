#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace leafward::jet {

// What making a change durable cost: the benchmark reports these.
struct DurabilityStats {
  unsigned fsyncs = 0;
  std::uint64_t journalBytes = 0;
};

// Reads exactly bytes.size() bytes at offset; false at end of file. Throws DataAccessError on
// an I/O error, naming `path`.
bool readFully(int fd, std::span<std::uint8_t> bytes, std::uint64_t offset,
               const std::string& path);

// Writes all of bytes at offset. Throws DataAccessError naming `path`.
void writeFully(int fd, std::span<const std::uint8_t> bytes, std::uint64_t offset,
                const std::string& path);

// fsync of an open file, counted in stats. Throws DataAccessError naming `path`.
void syncFile(int fd, const std::string& path, DurabilityStats& stats);

// fsync of the folder holding `path`, so that a created or removed name survives a crash.
void syncParentFolder(const std::string& path, DurabilityStats& stats);

// The folder part of a path ("." when it has none).
std::string parentFolder(const std::string& path);

}  // namespace leafward::jet
