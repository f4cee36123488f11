#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/file.h"
#include "record/record_rows.h"

namespace leafward::record {

// The anchor of a record file: a small file beside it ("<record>.anchor") that says how long
// the record is, how its last row's checksum reads, and where the entries that the next Update
// and undo need begin. It is written after every append, so that a record cut short, also at a
// row boundary or to nothing, is told apart from the rows an append left behind when it was
// stopped before its anchor was written (those lie past the anchor's size).
//
// The file holds two slots of kSlotSize bytes, written in turn, each with a sequence number and
// a checksum of its own: a slot torn by a crash fails its checksum and the other, older, slot
// holds. docs/formats.md gives the bytes.
struct Anchor {
  std::uint64_t sequence = 0;
  std::uint64_t size = 0;  // bytes of whole rows in the record
  std::string checksum;    // the last row's
  EntryPlace last;         // the last entry; offset 0: none
  EntryPlace needed;       // the entry the next undo needs; offset 0: none, kUnknown: not known
  bool operator==(const Anchor&) const = default;
};

inline constexpr std::uint64_t kUnknownPlace = UINT64_MAX;
inline constexpr std::size_t kSlotSize = 72;
inline constexpr std::size_t kAnchorSize = 2 * kSlotSize;

// The anchor's path for a record file's path: ".csv" replaced by ".anchor".
std::string anchorPath(const std::string& recordPath);

// One slot's bytes, and back: nothing when the slot is torn, empty or not an anchor's.
std::array<std::uint8_t, kSlotSize> encodeSlot(const Anchor& anchor);
std::optional<Anchor> decodeSlot(std::span<const std::uint8_t> slot);

// The newest whole slot of an anchor file's bytes; nothing when neither slot is whole.
std::optional<Anchor> decodeAnchor(std::span<const std::uint8_t> bytes);

// The anchor file of one record, held open by the repair that holds the record.
class AnchorFile {
 public:
  // Opens the anchor at `path` when there is one; nothing when there is none. Throws
  // RecordError when something other than a regular file is there or it cannot be read.
  static std::optional<AnchorFile> open(const std::string& path);
  // Makes the anchor anew (replacing a damaged one), holding `anchor`, durable with its name.
  static AnchorFile create(const std::string& path, Anchor anchor);

  // What the anchor holds: its newest whole slot; nothing when neither is whole.
  const std::optional<Anchor>& current() const { return current_; }

  // Writes `anchor` as the next slot, durably, in place of the older one.
  void write(Anchor anchor);

 private:
  AnchorFile(platform::File file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  platform::File file_;
  std::string path_;
  std::optional<Anchor> current_;
};

// Reads the anchor at `path` without holding it: nothing when there is none, an empty optional
// inside when neither slot is whole. Throws RecordError as AnchorFile::open does.
std::optional<std::optional<Anchor>> readAnchor(const std::string& path);

}  // namespace leafward::record
