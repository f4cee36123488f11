#include "dataaccess/jet/format/usage_map.h"

#include "dataaccess/jet/format/data_page.h"
#include "dataaccess/jet/format/pager.h"

namespace leafward::jet {
namespace {

constexpr std::size_t kInlineHeader = 5;  // type byte, 32-bit first page
constexpr std::size_t kMapPageHeader = 4;

void collect(Bytes bitmap, std::uint64_t firstPage, std::vector<std::uint32_t>& pages,
             const Pager& file, const std::string& tableName) {
  for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
    if (bitmap[byte] == 0) continue;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((bitmap[byte] & (1u << bit)) == 0) continue;
      const std::uint64_t page = firstPage + byte * 8 + bit;
      if (page >= file.pageCount()) {
        file.truncated("table " + tableName + " uses page " + std::to_string(page) +
                       ", which lies past the end of the file");
      }
      pages.push_back(static_cast<std::uint32_t>(page));
    }
  }
}

}  // namespace

std::vector<std::uint32_t> pagesOfUsageMap(const Pager& file, std::uint32_t pointer,
                                           const std::string& tableName) {
  const std::uint32_t mapPage = pageOfPointer(pointer);
  if (mapPage >= file.pageCount()) {
    file.truncated("the page map of table " + tableName + " lies past the end of the file");
  }
  const std::vector<std::uint8_t> holder = file.readPage(mapPage);
  const RowTable rows(holder, file.format());
  const auto count = rows.count();
  const std::size_t slot = slotOfPointer(pointer);
  std::optional<RowExtent> extent;
  if (holder[0] == kPageData && count && slot < *count) extent = rows.extent(slot, *count);
  if (!extent) file.damaged("the page map of table " + tableName + " is missing");
  const Bytes map = Bytes(holder).subspan(extent->start, extent->size());

  std::vector<std::uint32_t> pages;
  if (map.empty()) file.damaged("the page map of table " + tableName + " is empty");
  if (map[0] == 0) {
    if (map.size() < kInlineHeader) {
      file.damaged("the page map of table " + tableName + " is too short");
    }
    collect(map.subspan(kInlineHeader), readU32(map, 1), pages, file, tableName);
    return pages;
  }
  if (map[0] != 1) {
    file.damaged("the page map of table " + tableName + " has an unknown type " +
                 std::to_string(map[0]));
  }
  const std::size_t pageSize = file.pageSize();
  const std::uint64_t pagesPerMapPage = (pageSize - kMapPageHeader) * 8;
  std::vector<std::uint8_t> buffer(pageSize);
  for (std::size_t index = 0; 1 + 4 * index + 4 <= map.size(); ++index) {
    const std::uint32_t bitmapPage = readU32(map, 1 + 4 * index);
    if (bitmapPage == 0) continue;
    if (bitmapPage >= file.pageCount()) {
      file.truncated("the page map of table " + tableName + " lies past the end of the file");
    }
    file.readPage(bitmapPage, buffer);
    if (buffer[0] != kPageUsageMap) {
      file.damaged("page " + std::to_string(bitmapPage) +
                   " should hold part of the page map of table " + tableName);
    }
    collect(Bytes(buffer).subspan(kMapPageHeader), index * pagesPerMapPage, pages, file, tableName);
  }
  return pages;
}

}  // namespace leafward::jet
