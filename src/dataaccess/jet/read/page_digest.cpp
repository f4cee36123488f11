#include "dataaccess/jet/read/page_digest.h"

#include <cstring>

namespace leafward::jet {
namespace {

constexpr std::uint64_t kPrime1 = 0x9e3779b185ebca87ull;
constexpr std::uint64_t kPrime2 = 0xc2b2ae3d27d4eb4full;

std::uint64_t rotate(std::uint64_t x, int bits) {
  return (x << bits) | (x >> (64 - bits));
}

// Four independent lanes, so that the multiplications overlap, in the manner of xxHash64.
class Digest {
 public:
  void add(const std::uint8_t* bytes, std::size_t size) {
    std::size_t i = 0;
    for (; i + 32 <= size; i += 32) {
      for (int lane = 0; lane < 4; ++lane) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + i + 8 * lane, sizeof word);
        lanes_[lane] = rotate(lanes_[lane] + word * kPrime2, 31) * kPrime1;
      }
    }
    for (; i < size; ++i) lanes_[0] = rotate(lanes_[0] ^ bytes[i], 11) * kPrime1;
    length_ += size;
  }

  std::uint64_t finish() const {
    std::uint64_t hash = length_;
    for (int lane = 0; lane < 4; ++lane)
      hash = rotate(hash ^ (lanes_[lane] * kPrime2), 27) * kPrime1;
    hash ^= hash >> 33;
    hash *= kPrime2;
    return hash ^ (hash >> 29);
  }

 private:
  std::uint64_t lanes_[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
  std::uint64_t length_ = 0;
};

}  // namespace

std::uint64_t digestPages(const Pager& pager, const std::vector<std::uint32_t>& pages) {
  Digest digest;
  std::vector<std::uint8_t> page(pager.pageSize());
  for (const std::uint32_t number : pages) {
    digest.add(reinterpret_cast<const std::uint8_t*>(&number), sizeof number);
    pager.readPage(number, page);
    digest.add(page.data(), page.size());
  }
  return digest.finish();
}

}  // namespace leafward::jet
