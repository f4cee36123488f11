#include "dataaccess/jet/read/page_hash.h"

#include <algorithm>
#include <cstring>

#include "dataaccess/jet/format/page_stretches.h"

namespace leafward::jet {
namespace {

constexpr std::uint64_t kPrime1 = 0x9e3779b185ebca87ull;
constexpr std::uint64_t kPrime2 = 0xc2b2ae3d27d4eb4full;
// Pages close to each other are read together, this many at most.
constexpr std::size_t kPagesPerRead = 64;

std::uint64_t rotate(std::uint64_t x, int bits) {
  return (x << bits) | (x >> (64 - bits));
}

}  // namespace

// Four independent lanes, so that the multiplications overlap, in the manner of xxHash64.
std::uint64_t pageHash(std::uint32_t number, Bytes page) {
  std::uint64_t lanes[4] = {kPrime1 + kPrime2 + number, kPrime2, number, 0 - kPrime1};
  std::size_t i = 0;
  for (; i + 32 <= page.size(); i += 32) {
    for (int lane = 0; lane < 4; ++lane) {
      std::uint64_t word = 0;
      std::memcpy(&word, page.data() + i + 8 * lane, sizeof word);
      lanes[lane] = rotate(lanes[lane] + word * kPrime2, 31) * kPrime1;
    }
  }
  for (; i < page.size(); ++i) lanes[0] = rotate(lanes[0] ^ page[i], 11) * kPrime1;
  std::uint64_t hash = page.size();
  for (const std::uint64_t lane : lanes) hash = rotate(hash ^ (lane * kPrime2), 27) * kPrime1;
  hash ^= hash >> 33;
  hash *= kPrime2;
  return hash ^ (hash >> 29);
}

std::vector<std::uint64_t> hashPages(const Pager& pager, const std::vector<std::uint32_t>& pages) {
  PageStretches stretches(pager, pages, kPagesPerRead);
  std::vector<std::uint64_t> hashes;
  hashes.reserve(pages.size());
  for (std::size_t i = 0; i < pages.size();) {
    const std::size_t count = stretches.readFrom(i);
    for (std::size_t k = 0; k < count; ++k, ++i) {
      hashes.push_back(pageHash(pages[i], stretches.page(pages[i])));
    }
  }
  return hashes;
}

}  // namespace leafward::jet
