#include "record/account_set.h"

#include <cstdint>
#include <cstdio>

#include "common/fnv1a.h"
#include "dataaccess/ascii.h"
#include "platform/file.h"

namespace leafward::record {
namespace {

constexpr std::size_t kMostNameBytes = 120;

// Characters no file system takes (Windows refuses the most) become '_', as do trailing dots
// and spaces, which Windows drops; at most kMostNameBytes bytes, cut between characters.
std::string safeFileName(std::string_view text) {
  std::string name;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool refused = byte < 0x20 || byte == 0x7F ||
                         std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
    name += refused ? '_' : c;
  }
  if (name.size() > kMostNameBytes) {
    std::size_t end = kMostNameBytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    name.resize(end);
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name.empty() ? "_" : name;
}

// What the hash of a record's name is taken over: the path, or the server and the database in
// one spelling, so that every spelling finds the same file.
std::string identityOf(const AccountSet& set) {
  return set.isFile()
             ? set.name
             : dataaccess::asciiLowered(set.server) + "\n" + dataaccess::asciiLowered(set.name);
}

std::string shownName(const AccountSet& set) {
  return safeFileName(set.isFile() ? platform::fileName(set.name)
                                   : dataaccess::asciiLowered(set.describe()));
}

}  // namespace

AccountSet AccountSet::accessFile(const std::string& path) {
  return {{}, platform::canonicalPath(path)};
}

AccountSet AccountSet::serverDatabase(std::string server, std::string database) {
  return {std::move(server), std::move(database)};
}

bool AccountSet::sameAs(const AccountSet& other) const {
  if (isFile() != other.isFile()) return false;
  if (isFile()) return name == other.name;
  return dataaccess::equalsIgnoringCase(server, other.server) &&
         dataaccess::equalsIgnoringCase(name, other.name);
}

std::string AccountSet::describe() const {
  return isFile() ? name : name + " on " + server;
}

std::string AccountSet::recordFileName(unsigned probe) const {
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx",
                static_cast<unsigned long long>(fnv1a64(identityOf(*this))));
  std::string name = shownName(*this) + " (" + hash;
  if (probe > 1) {
    name += '-';
    name += std::to_string(probe);
  }
  return name + ").csv";
}

std::string AccountSet::legacyRecordFileName() const {
  char hash[9];
  std::snprintf(hash, sizeof hash, "%08x", fnv1a32(identityOf(*this)));
  return shownName(*this) + " (" + hash + ").csv";
}

}  // namespace leafward::record
