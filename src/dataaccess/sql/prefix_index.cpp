#include "dataaccess/sql/prefix_index.h"

#include <algorithm>
#include <limits>

#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/text_fold.h"

namespace leafward::sql {

void FoldedPrefixIndex::reserve(std::size_t rows) {
  entries_.reserve(rows);
}

void FoldedPrefixIndex::add(std::string_view text, std::size_t row) {
  const std::size_t offset = keys_.size();
  appendFolded(keys_, text);
  const std::size_t length = keys_.size() - offset;
  if (row > std::numeric_limits<std::uint32_t>::max() ||
      length > std::numeric_limits<std::uint32_t>::max()) {
    throw SqlError("The table is too large to search");
  }
  const std::string_view key = std::string_view(keys_).substr(offset, length);
  entries_.push_back(
      {headOf(key), offset, static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(row)});
}

void FoldedPrefixIndex::sort() {
  std::sort(entries_.begin(), entries_.end(), [this](const Entry& a, const Entry& b) {
    if (a.head != b.head) return a.head < b.head;
    const std::string_view keys(keys_);
    const int order = keys.substr(a.offset, a.length).compare(keys.substr(b.offset, b.length));
    return order != 0 ? order < 0 : a.row < b.row;
  });
}

std::uint64_t FoldedPrefixIndex::headOf(std::string_view key) {
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    head = (head << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return head;
}

// Zero padding keeps the heads in the order of the keys: a smaller head means a smaller key.
int FoldedPrefixIndex::compare(const Entry& entry, std::string_view entryKey, std::uint64_t head,
                               std::string_view key) {
  if (entry.head != head) return entry.head < head ? -1 : 1;
  return entryKey.compare(key);
}

std::size_t FoldedPrefixIndex::seek(std::string_view prefix, bool longerOnly) const {
  const std::uint64_t head = headOf(prefix);
  const std::string_view keys(keys_);
  const auto found = std::partition_point(entries_.begin(), entries_.end(), [&](const Entry& e) {
    const int order = compare(e, keys.substr(e.offset, e.length), head, prefix);
    return longerOnly ? order <= 0 : order < 0;
  });
  return static_cast<std::size_t>(found - entries_.begin());
}

}  // namespace leafward::sql
