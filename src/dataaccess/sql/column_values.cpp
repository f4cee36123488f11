#include "dataaccess/sql/column_values.h"

#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "dataaccess/errors.h"
#include "dataaccess/sql/value_ops.h"

namespace leafward::sql {

void ColumnValues::reserve(std::size_t rows, std::size_t bytes) {
  kinds_.reserve(rows);
  if (bytes > 0) {
    ends_.reserve(rows);
    bytes_.reserve(bytes);
  }
}

void ColumnValues::append(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return appendNull();
    case Value::Kind::YesNo:
      return appendYesNo(value.asYesNo());
    case Value::Kind::Integer:
      return appendInteger(value.asInteger());
    case Value::Kind::Floating:
      return appendNumber(Tag::Floating, value.asFloating());
    case Value::Kind::Date:
      return appendNumber(Tag::Date, value.asDate().days);
    case Value::Kind::Single:
      return appendNumber(Tag::Single, value.asSingle());
    case Value::Kind::Currency:
      return appendWord(Tag::Currency, value.asCurrency().tenThousandths);
    case Value::Kind::Text:
      return appendText(value.asText());
    case Value::Kind::Binary: {
      const auto& bytes = value.asBinary();
      return appendBytes(Tag::Binary, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    }
    case Value::Kind::Guid: {
      const auto& bytes = value.asGuid().bytes;
      return appendBytes(Tag::Guid, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    }
    case Value::Kind::Decimal:
      return appendBytes(Tag::Decimal, Datum::ofDecimal(value.asDecimal()).text);
  }
}

void ColumnValues::appendText(std::string_view text) {
  appendBytes(Tag::Text, text);
}

void ColumnValues::appendRange(const ColumnValues& from, std::size_t first, std::size_t end) {
  if (first >= end) return;
  const std::size_t before = kinds_.size();
  kinds_.insert(kinds_.end(), from.kinds_.begin() + static_cast<std::ptrdiff_t>(first),
                from.kinds_.begin() + static_cast<std::ptrdiff_t>(end));
  // A column keeps ends and numbers for every row once it has any (see ends_ and words_).
  if (!from.ends_.empty()) {
    const std::uint32_t fromStart = first == 0 ? 0 : from.ends_[first - 1];
    const std::uint32_t fromEnd = from.ends_[end - 1];
    if (ends_.size() < before) ends_.resize(before, 0);
    const std::uint32_t base = ends_.empty() ? 0 : ends_.back();
    if (bytes_.size() + (fromEnd - fromStart) > std::numeric_limits<std::uint32_t>::max()) {
      throw dataaccess::DataAccessError("A column holds more text than can be read at once");
    }
    bytes_.append(from.bytes_, fromStart, fromEnd - fromStart);
    for (std::size_t row = first; row < end; ++row)
      ends_.push_back(base + (from.ends_[row] - fromStart));
  } else if (!ends_.empty()) {
    ends_.insert(ends_.end(), end - first, ends_.back());
  }
  if (!from.words_.empty()) {
    if (words_.size() < before) words_.resize(before, 0);
    words_.insert(words_.end(), from.words_.begin() + static_cast<std::ptrdiff_t>(first),
                  from.words_.begin() + static_cast<std::ptrdiff_t>(end));
  } else if (!words_.empty()) {
    words_.insert(words_.end(), end - first, 0);
  }
}

void ColumnValues::appendPlain(Tag tag) {
  kinds_.push_back(tag);
  if (!ends_.empty()) ends_.push_back(ends_.back());
  if (!words_.empty()) words_.push_back(0);
}

void ColumnValues::appendWord(Tag tag, std::int64_t word) {
  if (words_.size() < kinds_.size()) words_.resize(kinds_.size(), 0);
  kinds_.push_back(tag);
  words_.push_back(word);
  if (!ends_.empty()) ends_.push_back(ends_.back());
}

void ColumnValues::appendNumber(Tag tag, double number) {
  appendWord(tag, std::bit_cast<std::int64_t>(number));
}

void ColumnValues::appendBytes(Tag tag, std::string_view bytes) {
  bytes_.append(bytes);
  finishBytes(tag);
}

void ColumnValues::finishBytes(Tag tag) {
  if (bytes_.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw dataaccess::DataAccessError("A column holds more text than can be read at once");
  }
  if (ends_.size() < kinds_.size()) ends_.resize(kinds_.size(), 0);
  kinds_.push_back(tag);
  ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  if (!words_.empty()) words_.push_back(0);
}

bool ColumnValues::operator==(const ColumnValues& other) const {
  // Two columns with the same rows may differ in whether they started keeping ends and
  // numbers: compare row by row where they do.
  if (kinds_ != other.kinds_) return false;
  if (ends_ == other.ends_ && words_ == other.words_ && bytes_ == other.bytes_) return true;
  for (std::size_t row = 0; row < kinds_.size(); ++row) {
    const Datum a = datum(row);
    const Datum b = other.datum(row);
    if (a.integer != b.integer ||
        std::bit_cast<std::int64_t>(a.number) != std::bit_cast<std::int64_t>(b.number) ||
        a.text != b.text) {
      return false;
    }
  }
  return true;
}

ColumnValues& ColumnValues::operator=(ColumnValues&& other) noexcept {
  kinds_ = std::move(other.kinds_);
  bytes_ = std::move(other.bytes_);
  ends_ = std::move(other.ends_);
  words_ = std::move(other.words_);
  sharedAnswers_ = std::move(other.sharedAnswers_);
  foldedIndex_.reset();
  other.foldedIndex_.reset();
  return *this;
}

const FoldedPrefixIndex& ColumnValues::foldedIndex() const {
  if (!foldedIndex_) {
    foldedIndex_ = std::make_shared<const FoldedPrefixIndex>(FoldedPrefixIndex::of(*this));
  }
  return *foldedIndex_;
}

std::shared_ptr<const std::vector<std::uint8_t>> ColumnValues::sharedAnswers(
    std::string_view text) const {
  const auto found = sharedAnswers_.find(text);
  return found == sharedAnswers_.end() ? nullptr : found->second;
}

void ColumnValues::shareAnswers(std::string text,
                                std::shared_ptr<const std::vector<std::uint8_t>> answers) const {
  sharedAnswers_[std::move(text)] = std::move(answers);
}

Value ColumnValues::value(std::size_t row) const {
  return toValue(datum(row));
}

}  // namespace leafward::sql
