#include "dataaccess/jet/format/header.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "dataaccess/errors.h"

namespace leafward::jet {
namespace {

using dataaccess::DataAccessError;

constexpr std::size_t kMagicOffset = 4;
constexpr std::array<std::uint8_t, 4> kLeadBytes = {0x00, 0x01, 0x00, 0x00};
constexpr char kJetMagic[] = "Standard Jet DB";  // followed by a zero byte
constexpr char kAceMagic[] = "Standard ACE DB";
constexpr std::size_t kMagicLength = sizeof kJetMagic;  // with the zero byte
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kMaskedStart = 0x18;
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kKeyOffset = 0x3E;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::uint32_t kHeaderMaskKey = 0x6B39DAC7;
// Fewer pages than this cannot hold the header, the global page map and the catalog.
constexpr std::uint64_t kMinimumPages = 3;
// Row pointers name pages in three bytes.
constexpr std::uint64_t kMaximumPages = 0xFFFFFF;

bool startsWith(Bytes bytes, std::size_t offset, const char* text, std::size_t length) {
  if (bytes.size() < offset + length) return false;
  return std::equal(text, text + length, bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// Jet hides part of the first page under an RC4 stream with a fixed key.
void unmask(std::vector<std::uint8_t>& bytes, std::size_t start, std::size_t length) {
  std::array<std::uint8_t, 256> state;
  for (std::size_t i = 0; i < 256; ++i) state[i] = static_cast<std::uint8_t>(i);
  const std::array<std::uint8_t, 4> key = {static_cast<std::uint8_t>(kHeaderMaskKey),
                                           static_cast<std::uint8_t>(kHeaderMaskKey >> 8),
                                           static_cast<std::uint8_t>(kHeaderMaskKey >> 16),
                                           static_cast<std::uint8_t>(kHeaderMaskKey >> 24)};
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + state[i] + key[i % key.size()]);
    std::swap(state[i], state[j]);
  }
  std::uint8_t x = 0, y = 0;
  for (std::size_t n = 0; n < length; ++n) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + state[x]);
    std::swap(state[x], state[y]);
    bytes[start + n] ^= state[static_cast<std::uint8_t>(state[x] + state[y])];
  }
}

// Jet 4 scrambles the stored password further with the database's creation date.
std::array<std::uint8_t, 4> passwordMask(const std::vector<std::uint8_t>& header,
                                         const JetFormat& format) {
  if (format.isJet3()) return {0, 0, 0, 0};
  const double date = readDouble(header, kCreationDateOffset);
  std::int32_t whole = 0;
  if (std::isfinite(date)) {
    whole = static_cast<std::int32_t>(std::clamp(date, -2147483648.0, 2147483647.0));
  }
  const auto bits = static_cast<std::uint32_t>(whole);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

// An Access 97 to 2003 database starts with Jet's lead bytes and name; `file` names it in the
// error when it does not.
void checkSignature(Bytes firstPage, std::uint64_t fileSize, const std::string& file) {
  if (fileSize == 0) throw DataAccessError(file + " is empty, not an Access database");
  if (startsWith(firstPage, kMagicOffset, kAceMagic, kMagicLength)) {
    throw DataAccessError(file +
                          " is an Access 2007 or later database (.accdb); only Access 97 to "
                          "2003 databases (.mdb) can be opened");
  }
  if (firstPage.size() < kVersionOffset + 1 ||
      !std::equal(kLeadBytes.begin(), kLeadBytes.end(), firstPage.begin()) ||
      !startsWith(firstPage, kMagicOffset, kJetMagic, kMagicLength)) {
    throw DataAccessError(file + " is not an Access database");
  }
}

// The format a Jet version byte names: Jet 3 (Access 97) or Jet 4 (Access 2000 to 2003).
JetFormat formatOf(std::uint8_t version, const std::string& file) {
  switch (version) {
    case 0:
      return JetFormat::jet3();
    case 1:
      return JetFormat::jet4();
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
      throw DataAccessError(file +
                            " is in the format of Access 2007 or later; only Access 97 to 2003 "
                            "databases can be opened");
    default:
      throw DataAccessError(file + " is not an Access database (unknown Jet version " +
                            std::to_string(version) + ")");
  }
}

// The file's pages, when it is whole pages of `pageSize`, enough of them and not too many.
std::uint32_t countPages(Bytes firstPage, std::uint64_t fileSize, std::size_t pageSize,
                         const std::string& file) {
  if (fileSize < pageSize * kMinimumPages) {
    throw DataAccessError(file + " is truncated: it is " + std::to_string(fileSize) +
                          " bytes long, too short for an Access database");
  }
  if (fileSize % pageSize != 0) {
    throw DataAccessError(file + " is truncated: its size (" + std::to_string(fileSize) +
                          " bytes) is not a whole number of " + std::to_string(pageSize) +
                          "-byte pages");
  }
  if (firstPage.size() < pageSize) {
    throw DataAccessError(file + " is truncated: its first page could not be read whole");
  }
  if (fileSize / pageSize > kMaximumPages) {
    throw DataAccessError(file + " is too large to be an Access database");
  }
  return static_cast<std::uint32_t>(fileSize / pageSize);
}

// Refuses an encrypted database and one with a password, from the unmasked header `clear`.
void checkNotLocked(const std::vector<std::uint8_t>& clear, const JetFormat& format,
                    const std::string& file) {
  if (readU32(clear, kKeyOffset) != 0) {
    throw DataAccessError(file + " is encrypted; encrypted Access databases cannot be opened");
  }
  const std::size_t passwordLength = format.isJet3() ? 20 : 40;
  const auto mask = passwordMask(clear, format);
  for (std::size_t i = 0; i < passwordLength; ++i) {
    if ((clear[kPasswordOffset + i] ^ mask[i % mask.size()]) != 0) {
      throw DataAccessError(file + " is protected by a database password");
    }
  }
}

}  // namespace

JetHeader inspectHeader(Bytes firstPage, std::uint64_t fileSize, const std::string& displayName) {
  const std::string file = "The file " + displayName;
  checkSignature(firstPage, fileSize, file);
  JetHeader header;
  header.format = formatOf(firstPage[kVersionOffset], file);
  header.pageCount = countPages(firstPage, fileSize, header.format.pageSize, file);

  std::vector<std::uint8_t> clear(firstPage.begin(), firstPage.begin() + 0x100);
  unmask(clear, kMaskedStart, header.format.isJet3() ? 126 : 128);
  header.codePage = readU16(clear, kCodePageOffset);
  checkNotLocked(clear, header.format, file);
  return header;
}

}  // namespace leafward::jet
