#include "dataaccess/jet/read/rows_at.h"

#include <algorithm>
#include <charconv>
#include <numeric>

#include "dataaccess/jet/format/entry_pages.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/read/value_decoder.h"

namespace leafward::jet {
namespace {

template <class Number>
std::optional<Number> digitsOf(std::string_view text) {
  Number value{};
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string rowIdOf(RowLocation location) {
  return std::to_string(location.page) + ":" + std::to_string(location.slot);
}

std::optional<RowLocation> rowLocationOf(std::string_view id) {
  const std::size_t colon = id.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto page = digitsOf<std::uint32_t>(id.substr(0, colon));
  const auto slot = digitsOf<std::uint16_t>(id.substr(colon + 1));
  if (!page || !slot) return std::nullopt;
  return RowLocation{*page, *slot};
}

std::vector<RowNow> readRowsAt(const Pager& pager, TextDecoder& text, const TableDefinition& table,
                               const ColumnDefinition& key, const ColumnDefinition& flag,
                               const std::vector<RowLocation>& rows) {
  // In the order of their entries, so that their pages are read a stretch at a time.
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::pair{rows[a].page, rows[a].slot} < std::pair{rows[b].page, rows[b].slot};
  });
  std::vector<RowLocation> sorted;
  sorted.reserve(rows.size());
  for (const std::size_t i : order) sorted.push_back(rows[i]);

  EntryPages pages(pager, EntryPages::pagesOf(pager, sorted));
  RowDecoder decoder(pager.format(), table);
  ValueDecoder values(pager, text);
  std::vector<RowNow> found(rows.size());
  for (const std::size_t i : order) {
    const FoundRow row = pages.liveRow(rows[i], table.page);
    if (row.fault != RowFault::None || row.kind == SlotKind::Deleted) continue;
    // A moved row's bytes are a row only through the entry that points to them.
    if (row.kind == SlotKind::MovedRow && row.location == rows[i]) continue;
    if (!decoder.parse(row.page, row.extent)) continue;
    RowNow& now = found[i];
    now.found = true;
    now.key = values.decode(key, row.page, decoder.field(key));
    if (flag.number < decoder.columnCount()) now.flag = decoder.field(flag).present;
  }
  return found;
}

}  // namespace leafward::jet
