#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dataaccess/sql/datum.h"
#include "dataaccess/sql/prefix_index.h"
#include "dataaccess/value.h"

namespace leafward::sql {

using dataaccess::Value;

// The values of one column, one per row, packed so that no row owns a heap object: a kind
// byte per row; texts, binary data and GUIDs one after another in one buffer, with where each
// ends; numbers in one array. The last two exist only once the column holds such a value, so
// a million short codes take little more than their characters and four bytes each.
class ColumnValues {
 public:
  ColumnValues() = default;
  // The folded index may point back at the column it was built on (see FoldedPrefixIndex): it
  // never goes with the values. A column is not copied; one moved builds its own when asked.
  ColumnValues(const ColumnValues&) = delete;
  ColumnValues& operator=(const ColumnValues&) = delete;
  ColumnValues(ColumnValues&& other) noexcept { *this = std::move(other); }
  ColumnValues& operator=(ColumnValues&& other) noexcept;

  std::size_t size() const { return kinds_.size(); }
  // Room for `rows` rows, with `bytes` bytes of text among them.
  void reserve(std::size_t rows, std::size_t bytes = 0);

  void append(const Value& value);
  void appendNull() { appendPlain(Tag::Null); }
  void appendYesNo(bool value) { appendPlain(value ? Tag::Yes : Tag::No); }
  void appendInteger(std::int64_t value) { appendWord(Tag::Integer, value); }
  void appendText(std::string_view text);
  // Rows [first, end) of `from`, as they are there.
  void appendRange(const ColumnValues& from, std::size_t first, std::size_t end);
  // A text written by `write(std::string& out)`, which appends its bytes to `out`.
  template <class Write>
  void appendTextWith(Write&& write) {
    write(bytes_);
    finishBytes(Tag::Text);
  }

  // The row's value; a text or bytes point into this column.
  Datum datum(std::size_t row) const;
  Value value(std::size_t row) const;
  bool isNull(std::size_t row) const { return kinds_[row] == Tag::Null; }

  // The same values row by row, each of the same kind.
  bool operator==(const ColumnValues& other) const;

  // For prefetching: where the row's kind is kept.
  const void* placeOf(std::size_t row) const { return &kinds_[row]; }

  // The folded prefix index of the values, built on first use and kept with them: every
  // statement handed the same column shares it.
  const FoldedPrefixIndex& foldedIndex() const;
  // Lets the index go, to be built again when next asked for.
  void letGoOfIndex() const { foldedIndex_.reset(); }

  // Per row, 1 when another value of the column is LIKE the row's own followed by `text`, else
  // 0: kept here by the first statement that works them out, for the others to share; null
  // until then.
  std::shared_ptr<const std::vector<std::uint8_t>> sharedAnswers(std::string_view text) const;
  void shareAnswers(std::string text,
                    std::shared_ptr<const std::vector<std::uint8_t>> answers) const;

 private:
  enum class Tag : std::uint8_t {
    Null,
    No,
    Yes,
    Integer,
    Floating,
    Date,
    Single,
    Currency,
    Text,
    Binary,
    Guid,
    Decimal
  };

  // A row with neither bytes nor a number.
  void appendPlain(Tag tag);
  void appendWord(Tag tag, std::int64_t word);
  void appendNumber(Tag tag, double number);
  void appendBytes(Tag tag, std::string_view bytes);
  void finishBytes(Tag tag);
  std::string_view bytesOf(std::size_t row) const;

  std::vector<Tag> kinds_;
  std::string bytes_;
  // ends_[r]: where the bytes of row r end; a row without bytes ends where the one before it
  // does. Covers the rows from the first that had bytes on (the earlier ones end at 0).
  std::vector<std::uint32_t> ends_;
  // words_[r]: the number of row r (a double's bits for fractional kinds), for the rows from
  // the first number on.
  std::vector<std::int64_t> words_;
  mutable std::shared_ptr<const FoldedPrefixIndex> foldedIndex_;
  mutable std::map<std::string, std::shared_ptr<const std::vector<std::uint8_t>>, std::less<>>
      sharedAnswers_;
};

// Inline: every row of a statement goes through it.
inline std::string_view ColumnValues::bytesOf(std::size_t row) const {
  const std::uint32_t start = row == 0 ? 0 : ends_[row - 1];
  return std::string_view(bytes_).substr(start, ends_[row] - start);
}

inline Datum ColumnValues::datum(std::size_t row) const {
  switch (kinds_[row]) {
    case Tag::Null:
      return Datum::null();
    case Tag::No:
      return Datum::yesNo(false);
    case Tag::Yes:
      return Datum::yesNo(true);
    case Tag::Integer:
      return Datum::ofInteger(words_[row]);
    case Tag::Floating:
      return Datum::ofFloating(std::bit_cast<double>(words_[row]));
    case Tag::Date:
      return Datum::ofDate(std::bit_cast<double>(words_[row]));
    case Tag::Single:
      return Datum::ofSingle(static_cast<float>(std::bit_cast<double>(words_[row])));
    case Tag::Currency:
      return Datum::ofCurrency(words_[row]);
    case Tag::Text:
      return Datum::ofText(bytesOf(row));
    case Tag::Binary:
    case Tag::Guid: {
      const std::string_view bytes = bytesOf(row);
      return Datum::ofBytes(kinds_[row] == Tag::Guid ? Datum::Kind::Guid : Datum::Kind::Binary,
                            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    case Tag::Decimal:
      return Datum::ofDecimalBytes(bytesOf(row));
  }
  return Datum::null();
}

}  // namespace leafward::sql
