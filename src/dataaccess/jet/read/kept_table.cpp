#include "dataaccess/jet/read/kept_table.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "dataaccess/errors.h"
#include "dataaccess/jet/format/row.h"
#include "dataaccess/jet/read/page_hash.h"
#include "dataaccess/jet/read/row_cursor.h"
#include "dataaccess/jet/read/value_decoder.h"

namespace leafward::jet {
namespace {

// Reserving for more rows than the pages can hold would only waste memory when the stored
// row count is wrong.
constexpr std::size_t kRowsPerPageBound = 256;
// A short text is most often a code of a few characters.
constexpr std::size_t kTypicalTextBytes = 8;

}  // namespace

struct KeptTable::Rows {
  std::vector<std::size_t> positions;
  std::vector<const ColumnDefinition*> definitions;
  std::vector<std::shared_ptr<sql::ColumnValues>> columns;  // of positions
  RowLocations locations;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> moved;
  std::vector<std::uint32_t> pages;                         // every page read, unsorted
  std::unordered_map<std::uint32_t, std::uint64_t> hashed;  // from the rows' own buffers
  bool longValues = false;
};

KeptTable::KeptTable(const Pager& pager, TextDecoder& text, const JetTable& table)
    : pager_(pager), text_(text), table_(table) {}

void KeptTable::letGoOfIndexes() {
  for (const auto& [position, values] : columns_) values->letGoOfIndex();
}

void KeptTable::read(const std::vector<std::size_t>& columns, std::uint64_t lock) {
  if (!columns_.empty() && (lock == 0 || lock != upToDateUnder_)) refresh();
  upToDateUnder_ = 0;
  std::vector<std::size_t> missing;
  for (std::size_t position : columns) {
    if (!columns_.contains(position)) missing.push_back(position);
  }
  std::sort(missing.begin(), missing.end());
  missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
  if (!missing.empty()) readWhole(missing);
  upToDateUnder_ = lock;
}

KeptTable::Rows KeptTable::rowsOf(const std::vector<std::size_t>& positions) const {
  const TableDefinition& layout = table_.definition;
  const std::size_t expected =
      std::min<std::size_t>(layout.rowCountHint, table_.pages.size() * kRowsPerPageBound);
  Rows rows;
  rows.positions = positions;
  for (std::size_t position : positions) {
    const ColumnDefinition& column = layout.columns[position];
    rows.definitions.push_back(&column);
    rows.columns.push_back(std::make_shared<sql::ColumnValues>());
    const bool text = column.is(JetType::Text);
    rows.columns.back()->reserve(expected, text ? expected * kTypicalTextBytes : 0);
  }
  rows.locations.reserve(expected);
  return rows;
}

void KeptTable::readPages(const std::vector<std::uint32_t>& pages, Rows& rows) const {
  RowCursor cursor(pager_, table_.definition, pages);
  RowDecoder row(pager_.format(), table_.definition);
  ValueDecoder decoder(pager_, text_);
  std::uint32_t lastPage = 0;
  bool anyRow = false;
  while (cursor.next()) {
    const Bytes page = cursor.page();
    if (!row.parse(page, cursor.extent())) cursor.badRow(row.problem());
    for (std::size_t i = 0; i < rows.definitions.size(); ++i) {
      const ColumnDefinition& column = *rows.definitions[i];
      decoder.decodeInto(column, page, row.field(column), *rows.columns[i]);
    }
    const RowLocation location = cursor.location();
    if (cursor.rowPage() != location.page) {
      rows.moved.emplace_back(static_cast<std::uint32_t>(rows.locations.size()), cursor.rowPage());
      rows.pages.push_back(cursor.rowPage());
    } else if (!anyRow || lastPage != location.page) {
      // A page whose first live row lies there in its own bytes: hashed from that buffer.
      rows.hashed.try_emplace(location.page, pageHash(location.page, page));
    }
    anyRow = true;
    lastPage = location.page;
    rows.locations.push_back(location);
  }
  rows.pages.insert(rows.pages.end(), pages.begin(), pages.end());
  if (!decoder.pagesRead().empty()) {
    rows.longValues = true;
    rows.pages.insert(rows.pages.end(), decoder.pagesRead().begin(), decoder.pagesRead().end());
  }
}

void KeptTable::keep(Rows& rows, const std::vector<std::uint64_t>& hashes) {
  std::vector<std::uint32_t> pages = rows.pages;
  pages.insert(pages.end(), pages_.begin(), pages_.end());
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  std::unordered_map<std::uint32_t, std::uint64_t> known = std::move(rows.hashed);
  for (std::size_t i = 0; i < pages_.size(); ++i) known.try_emplace(pages_[i], hashes[i]);
  std::vector<std::uint32_t> unread;
  for (const std::uint32_t page : pages) {
    if (!known.contains(page)) unread.push_back(page);
  }
  const std::vector<std::uint64_t> read = hashPages(pager_, unread);
  for (std::size_t i = 0; i < unread.size(); ++i) known.emplace(unread[i], read[i]);
  std::vector<std::uint64_t> kept;
  kept.reserve(pages.size());
  for (const std::uint32_t page : pages) kept.push_back(known.at(page));

  // Nothing above changes what is kept, so that a failure leaves it as it was.
  for (std::size_t i = 0; i < rows.positions.size(); ++i) {
    std::shared_ptr<const sql::ColumnValues>& column = columns_[rows.positions[i]];
    if (!column || !(*column == *rows.columns[i])) column = std::move(rows.columns[i]);
  }
  locations_ = std::move(rows.locations);
  movedRows_ = std::move(rows.moved);
  longValues_ = longValues_ || rows.longValues;
  pages_ = std::move(pages);
  hashes_ = std::move(kept);
}

void KeptTable::readWhole(const std::vector<std::size_t>& positions) {
  Rows rows = rowsOf(positions);
  readPages(table_.pages, rows);
  // Columns kept already were checked against the pages under the same lock: the rows are the
  // same ones.
  if (!columns_.empty() && !(rows.locations == locations_)) {
    throw dataaccess::DataAccessError("The rows of table " + table_.definition.name +
                                      " changed while they were read");
  }
  keep(rows, hashes_);
}

void KeptTable::refresh() {
  const std::vector<std::uint64_t> now = hashPages(pager_, pages_);
  if (now == hashes_) return;
  std::vector<std::size_t> positions;
  for (const auto& [position, values] : columns_) positions.push_back(position);
  if (longValues_) {
    // Which rows a large-value page serves is not kept: every row is read again.
    columns_.clear();
    locations_ = {};
    movedRows_.clear();
    longValues_ = false;
    pages_.clear();
    hashes_.clear();
    readWhole(positions);
    return;
  }

  // The listed pages whose rows are read again: those that changed, and those with a moved row
  // whose bytes lie on a page that changed.
  std::unordered_set<std::uint32_t> again;
  for (std::size_t i = 0; i < pages_.size(); ++i) {
    if (now[i] != hashes_[i]) again.insert(pages_[i]);
  }
  for (const auto& [row, page] : movedRows_) {
    if (again.contains(page)) again.insert(locations_[row].page);
  }

  Rows rows = rowsOf(positions);
  std::vector<std::uint32_t> single(1);
  std::size_t stretch = 0;
  std::size_t moved = 0;
  for (const std::uint32_t page : table_.pages) {
    const bool hadRows = stretch < locations_.stretches() && locations_.pageOf(stretch) == page;
    if (again.contains(page)) {
      single[0] = page;
      readPages(single, rows);
    } else if (hadRows) {
      const std::size_t first = locations_.startOf(stretch);
      const std::size_t end = locations_.endOf(stretch);
      for (std::size_t i = 0; i < positions.size(); ++i) {
        rows.columns[i]->appendRange(*columns_.at(positions[i]), first, end);
      }
      for (std::size_t row = first; row < end; ++row) {
        while (moved < movedRows_.size() && movedRows_[moved].first < row) ++moved;
        if (moved < movedRows_.size() && movedRows_[moved].first == row) {
          rows.moved.emplace_back(static_cast<std::uint32_t>(rows.locations.size()),
                                  movedRows_[moved].second);
        }
        rows.locations.push_back({page, locations_.slotOf(row)});
      }
    }
    if (hadRows) ++stretch;
  }
  keep(rows, now);
}

}  // namespace leafward::jet
