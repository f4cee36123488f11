#include "record/anchor.h"

#include <algorithm>
#include <cstdio>

#include "common/fnv1a.h"
#include "platform/file.h"

namespace leafward::record {
namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'L', 'W', 'R', 'A', 'N', 'C', 'H', '1'};

void putU64(std::uint8_t* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t getU64(const std::uint8_t* at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

// A row checksum is 16 lower-case hexadecimal digits; the slot keeps its value.
std::optional<std::uint64_t> checksumValue(const std::string& text) {
  if (text.size() != 16) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint64_t>(digit);
  }
  return value;
}

std::string checksumText(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::uint64_t valueOf(const std::string& checksum) {
  return checksumValue(checksum).value_or(0);
}

std::string describe(const std::string& path, const platform::SystemError& error) {
  return "cannot read the anchor " + path + " of the record of repairs: " + error.what();
}

// Whether there is an anchor at `path`; a link, a folder or a device there is refused, never
// followed or waited on.
bool anchorThere(const std::string& path) {
  const platform::EntryKind kind = platform::entryKind(path, platform::FinalLink::Keep);
  if (kind == platform::EntryKind::None) return false;
  if (kind != platform::EntryKind::File) {
    throw RecordError("the anchor " + path + " of the record of repairs is not a regular file");
  }
  return true;
}

}  // namespace

std::string anchorPath(const std::string& recordPath) {
  const std::string_view csv = ".csv";
  const std::string base =
      recordPath.ends_with(csv) ? recordPath.substr(0, recordPath.size() - csv.size()) : recordPath;
  return base + ".anchor";
}

std::array<std::uint8_t, kSlotSize> encodeSlot(const Anchor& anchor) {
  std::array<std::uint8_t, kSlotSize> slot{};
  std::copy(kMagic.begin(), kMagic.end(), slot.begin());
  putU64(&slot[8], anchor.sequence);
  putU64(&slot[16], anchor.size);
  putU64(&slot[24], valueOf(anchor.checksum));
  putU64(&slot[32], anchor.last.offset);
  putU64(&slot[40], valueOf(anchor.last.checksumBefore));
  putU64(&slot[48], anchor.needed.offset);
  putU64(&slot[56], valueOf(anchor.needed.checksumBefore));
  putU64(&slot[64], Fnv1a64().add(std::span<const std::uint8_t>(slot).first(64)).value());
  return slot;
}

std::optional<Anchor> decodeSlot(std::span<const std::uint8_t> slot) {
  if (slot.size() != kSlotSize || !std::equal(kMagic.begin(), kMagic.end(), slot.begin()) ||
      getU64(&slot[64]) != Fnv1a64().add(slot.first(64)).value()) {
    return std::nullopt;
  }
  Anchor anchor;
  anchor.sequence = getU64(&slot[8]);
  anchor.size = getU64(&slot[16]);
  anchor.checksum = checksumText(getU64(&slot[24]));
  anchor.last = {getU64(&slot[32]), checksumText(getU64(&slot[40]))};
  anchor.needed = {getU64(&slot[48]), checksumText(getU64(&slot[56]))};
  // An entry begins within the rows the anchor covers, and the last one no earlier than any.
  const bool placesHold =
      anchor.last.offset < anchor.size &&
      (anchor.needed.offset == kUnknownPlace || anchor.needed.offset <= anchor.last.offset) &&
      (anchor.last.offset != 0 || anchor.needed.offset == 0);
  if (anchor.sequence == 0 || !placesHold) return std::nullopt;
  return anchor;
}

std::optional<Anchor> decodeAnchor(std::span<const std::uint8_t> bytes) {
  std::optional<Anchor> newest;
  for (std::size_t at = 0; at + kSlotSize <= bytes.size() && at < kAnchorSize; at += kSlotSize) {
    const std::optional<Anchor> slot = decodeSlot(bytes.subspan(at, kSlotSize));
    if (slot && (!newest || slot->sequence > newest->sequence)) newest = slot;
  }
  return newest;
}

std::optional<AnchorFile> AnchorFile::open(const std::string& path) {
  try {
    if (!anchorThere(path)) return std::nullopt;
    AnchorFile anchor(platform::File::open(path, platform::FileAccess::ReadWrite), path);
    std::array<std::uint8_t, kAnchorSize> bytes{};
    const std::size_t read = anchor.file_.readAt(0, bytes);
    anchor.current_ = decodeAnchor(std::span(bytes).first(read));
    return anchor;
  } catch (const platform::SystemError& error) {
    if (error.failure() == platform::Failure::NotFound) return std::nullopt;
    throw RecordError(describe(path, error));
  }
}

AnchorFile AnchorFile::create(const std::string& path, Anchor anchor) {
  try {
    // A damaged anchor is replaced only where the record shows it can hold nothing of worth.
    if (platform::entryKind(path, platform::FinalLink::Keep) == platform::EntryKind::File) {
      platform::removeFile(path);
    }
    AnchorFile file(platform::File::createNew(path), path);
    anchor.sequence = 1;
    std::array<std::uint8_t, kAnchorSize> bytes{};
    const auto slot = encodeSlot(anchor);
    std::copy(slot.begin(), slot.end(), bytes.begin());
    file.file_.writeAt(0, bytes);
    file.file_.sync();
    platform::syncFolder(platform::parentFolder(path));
    file.current_ = anchor;
    return file;
  } catch (const platform::SystemError& error) {
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
}

void AnchorFile::write(Anchor anchor) {
  anchor.sequence = current_ ? current_->sequence + 1 : 1;
  const auto slot = encodeSlot(anchor);
  try {
    file_.writeAt((anchor.sequence % 2) * kSlotSize, slot);
    file_.sync();
  } catch (const platform::SystemError& error) {
    throw RecordError(std::string("cannot write the record of repairs: ") + error.what());
  }
  current_ = anchor;
}

std::optional<std::optional<Anchor>> readAnchor(const std::string& path) {
  try {
    if (!anchorThere(path)) return std::nullopt;
    const platform::File anchor = platform::File::open(path, platform::FileAccess::Read);
    std::array<std::uint8_t, kAnchorSize> bytes{};
    const std::size_t read = anchor.readAt(0, bytes);
    return std::optional<std::optional<Anchor>>(decodeAnchor(std::span(bytes).first(read)));
  } catch (const platform::SystemError& error) {
    if (error.failure() == platform::Failure::NotFound) return std::nullopt;
    throw RecordError(describe(path, error));
  }
}

}  // namespace leafward::record
