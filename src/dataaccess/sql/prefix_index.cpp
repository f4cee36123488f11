#include "dataaccess/sql/prefix_index.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "dataaccess/sql/column_values.h"
#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/run_sort.h"
#include "dataaccess/sql/text_fold.h"
#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {
namespace {

// Big-endian words keep the order of the bytes, so that two heads compare as two numbers.
std::uint64_t bigEndianWord(const char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return word;
}

// The bits of the first `count` (at most 8) bytes of a big-endian word.
std::uint64_t leadingBytesMask(std::size_t count) {
  return count == 0 ? 0 : ~0ull << (8 * (8 - count));
}

}  // namespace

FoldedPrefixIndex::Probe FoldedPrefixIndex::probe(std::string_view prefix) {
  char bytes[kHeadBytes] = {};
  const std::size_t filled = std::min(prefix.size(), kHeadBytes);
  std::memcpy(bytes, prefix.data(), filled);
  return {{bigEndianWord(bytes), bigEndianWord(bytes + 8)},
          {leadingBytesMask(std::min<std::size_t>(filled, 8)),
           leadingBytesMask(filled > 8 ? filled - 8 : 0)},
          prefix};
}

namespace {

int compareKeys(std::string_view a, std::string_view b) {
  const int order = a.compare(b);
  return (order > 0) - (order < 0);
}

// Whether every value but NULL is a text that folds to itself (ASCII without capitals): the
// column's own texts can then be the keys.
bool foldsToItself(const ColumnValues& values) {
  for (std::size_t row = 0; row < values.size(); ++row) {
    const Datum datum = values.datum(row);
    if (datum.isNull()) continue;
    if (!datum.isText()) return false;
    for (const char c : datum.text) {
      if (static_cast<unsigned char>(c) >= 0x80 || (c >= 'A' && c <= 'Z')) return false;
    }
  }
  return true;
}

}  // namespace

FoldedPrefixIndex FoldedPrefixIndex::of(const ColumnValues& values) {
  FoldedPrefixIndex index;
  // Codes without capitals are their own keys: the index is only the order of the rows, and
  // for a table stored in code order not even that.
  if (foldsToItself(values)) {
    index.inColumn_ = &values;
    for (std::size_t row = 0; row < values.size(); ++row) {
      if (values.isNull(row)) continue;
      if (row > std::numeric_limits<std::uint32_t>::max()) {
        throw SqlError("The table is too large to search");
      }
      index.order_.push_back(static_cast<std::uint32_t>(row));
    }
    const auto less = [&values](std::uint32_t a, std::uint32_t b) {
      const int order = values.datum(a).text.compare(values.datum(b).text);
      return order != 0 ? order < 0 : a < b;
    };
    const bool reordered = sortMergingRuns(index.order_.begin(), index.order_.end(), less);
    index.columnRows_ = index.order_.size();
    if (!reordered && index.order_.size() == values.size()) index.order_ = {};  // row i is entry i
    return index;
  }
  index.reserve(values.size());
  std::string buffer;
  for (std::size_t row = 0; row < values.size(); ++row) {
    const Datum datum = values.datum(row);
    if (datum.isNull()) continue;
    index.keysAreTexts_ = index.keysAreTexts_ && datum.isText();
    index.add(textOf(datum, buffer), row);
  }
  index.sort();
  return index;
}

void FoldedPrefixIndex::add(std::string_view text, std::size_t row) {
  constexpr std::size_t kLimit = std::numeric_limits<std::uint32_t>::max();
  if (row > kLimit) throw SqlError("The table is too large to search");
  Entry entry{};
  entry.row = static_cast<std::uint32_t>(row);
  // A short ASCII text, the usual account code, is folded straight into the entry.
  bool ascii = text.size() <= kHeadBytes;
  for (std::size_t i = 0; ascii && i < text.size(); ++i) {
    const char c = text[i];
    ascii = static_cast<unsigned char>(c) < 0x80;
    entry.head[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  }
  if (ascii) {
    entry.length = static_cast<std::uint32_t>(text.size());
    entries_.push_back(entry);
    return;
  }
  folded_.clear();
  appendFolded(folded_, text);
  if (folded_.size() > kLimit ||
      (folded_.size() > kHeadBytes && keys_.size() > kLimit - folded_.size())) {
    throw SqlError("The table is too large to search");
  }
  std::memset(entry.head, 0, kHeadBytes);
  std::memcpy(entry.head, folded_.data(), std::min(folded_.size(), kHeadBytes));
  entry.length = static_cast<std::uint32_t>(folded_.size());
  entry.offset = static_cast<std::uint32_t>(keys_.size());
  if (folded_.size() > kHeadBytes) keys_.append(folded_);
  entries_.push_back(entry);
}

// Zero padding keeps the heads in the order of the keys. When the heads are equal and both
// keys fit in them, the shorter key is a prefix of the longer one.
inline int FoldedPrefixIndex::compare(const Entry& entry, const Probe& probe) const {
  for (int i = 0; i < 2; ++i) {
    const std::uint64_t word = bigEndianWord(entry.head + 8 * i);
    if (word != probe.head[i]) return word < probe.head[i] ? -1 : 1;
  }
  if (entry.length <= kHeadBytes && probe.key.size() <= kHeadBytes) {
    return (entry.length > probe.key.size()) - (entry.length < probe.key.size());
  }
  return keyOf(entry).compare(probe.key);
}

void FoldedPrefixIndex::sort() {
  const auto less = [this](const Entry& a, const Entry& b) {
    for (int i = 0; i < 2; ++i) {
      const std::uint64_t x = bigEndianWord(a.head + 8 * i);
      const std::uint64_t y = bigEndianWord(b.head + 8 * i);
      if (x != y) return x < y;
    }
    if (a.length > kHeadBytes || b.length > kHeadBytes) {
      const int order = keyOf(a).compare(keyOf(b));
      if (order != 0) return order < 0;
    } else if (a.length != b.length) {
      return a.length < b.length;
    }
    return a.row < b.row;
  };
  // Tables are often stored in code order already.
  if (sortMergingRuns(entries_.begin(), entries_.end(), less) && !keys_.empty()) {
    layOutLongKeys();
  }
  samples_.clear();
  for (std::size_t i = 0; i < entries_.size(); i += kSampleEvery) samples_.push_back(entries_[i]);
}

// In the order of the entries, so that walking the index reads them in sequence.
void FoldedPrefixIndex::layOutLongKeys() {
  std::string sorted;
  sorted.reserve(keys_.size());
  for (Entry& entry : entries_) {
    if (entry.length <= kHeadBytes) continue;
    const std::string_view key = keyOf(entry);
    entry.offset = static_cast<std::uint32_t>(sorted.size());
    sorted.append(key);
  }
  keys_.swap(sorted);
}

std::size_t FoldedPrefixIndex::seek(const Probe& prefix, bool longerOnly, std::size_t hint) const {
  const auto comesBefore = [longerOnly](int order) { return longerOnly ? order <= 0 : order < 0; };
  const auto before = [&](std::size_t i) {
    return comesBefore(inColumn_ ? compareKeys(key(i), prefix.key) : compare(entries_[i], prefix));
  };
  const std::size_t count = size();
  std::size_t low = 0;
  std::size_t high = count;
  if (hint < count) {
    // Widen a window around the hint until it holds the answer: the answer is above every
    // entry that comes before the key and at or below every one that does not.
    std::size_t step = 1;
    if (before(hint)) {
      low = hint + 1;
      while (low + step - 1 < count && before(low + step - 1)) low += step, step *= 2;
      high = std::min(low + step - 1, count);
    } else {
      high = hint;
      while (high >= step && !before(high - step)) high -= step, step *= 2;
      low = high >= step ? high - step + 1 : 0;
    }
  } else if (!inColumn_) {
    // Sample j-1 comes before the key and sample j does not, so the answer lies in between.
    const auto sampleBefore = [&](const Entry& entry) {
      return comesBefore(compare(entry, prefix));
    };
    const auto j = static_cast<std::size_t>(
        std::partition_point(samples_.begin(), samples_.end(), sampleBefore) - samples_.begin());
    low = j == 0 ? 0 : (j - 1) * kSampleEvery + 1;
    high = j < samples_.size() ? j * kSampleEvery : count;
  }
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (before(middle)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

bool FoldedPrefixIndex::startsWith(std::size_t i, const Probe& prefix) const {
  if (inColumn_) return key(i).starts_with(prefix.key);
  const Entry& entry = entries_[i];
  if (entry.length < prefix.key.size()) return false;
  if (prefix.key.size() <= kHeadBytes) {
    return ((bigEndianWord(entry.head) ^ prefix.head[0]) & prefix.mask[0]) == 0 &&
           ((bigEndianWord(entry.head + 8) ^ prefix.head[1]) & prefix.mask[1]) == 0;
  }
  return keyOf(entry).substr(0, prefix.key.size()) == prefix.key;
}

std::string_view FoldedPrefixIndex::key(std::size_t i) const {
  return inColumn_ ? inColumn_->datum(row(i)).text : keyOf(entries_[i]);
}

}  // namespace leafward::sql
