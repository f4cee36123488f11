#include "dataaccess/recordset.h"

#include <algorithm>

#include "dataaccess/ascii.h"
#include "dataaccess/connection.h"
#include "dataaccess/errors.h"

namespace leafward::dataaccess {

Recordset::Recordset(ResultSet rows) : open_(true), rows_(std::move(rows)) {}

void Recordset::open(std::string_view source, Connection& connection, int, int, int) {
  if (open_) throw DataAccessError("The recordset is already open");
  std::shared_ptr<Recordset> result = connection.execute(source);
  if (!result->open_) throw DataAccessError("The statement returned no rows");
  rows_ = std::move(result->rows_);
  position_ = 0;
  open_ = true;
}

void Recordset::close() {
  requireOpen();
  open_ = false;
  rows_ = {};
  position_ = 0;
}

int Recordset::state() const {
  return open_ ? 1 : 0;
}

void Recordset::requireOpen() const {
  if (!open_) throw DataAccessError("The recordset is closed");
}

bool Recordset::eof() const {
  requireOpen();
  return position_ >= rows_.rows.size();
}

void Recordset::moveNext() {
  if (eof()) throw DataAccessError("Either BOF or EOF is true: there is no current record");
  ++position_;
}

std::int64_t Recordset::recordCount() const {
  requireOpen();
  return static_cast<std::int64_t>(rows_.rows.size());
}

std::size_t Recordset::fieldCount() const {
  requireOpen();
  return rows_.columnNames.size();
}

const Value& Recordset::field(std::size_t index) const {
  if (eof()) throw DataAccessError("Either BOF or EOF is true: there is no current record");
  const auto& row = rows_.rows[position_];
  if (index >= row.size()) {
    throw DataAccessError("No field at position " + std::to_string(index));
  }
  return row[index];
}

const Value& Recordset::field(std::string_view name) const {
  requireOpen();
  const auto sameName = [name](const std::string& candidate) {
    return equalsIgnoringCase(candidate, name);
  };
  const auto& names = rows_.columnNames;
  const auto it = std::find_if(names.begin(), names.end(), sameName);
  if (it == names.end()) throw DataAccessError("No field named " + std::string(name));
  return field(static_cast<std::size_t>(it - names.begin()));
}

std::string Recordset::getString(int format, int rows, std::string_view columnDelimiter,
                                 std::string_view rowDelimiter, std::string_view nullText) {
  requireOpen();
  if (format != kAdClipString) throw DataAccessError("Only the clip-string format is supported");
  std::string text;
  std::size_t remaining = rows < 0 ? rows_.rows.size() : static_cast<std::size_t>(rows);
  for (; position_ < rows_.rows.size() && remaining > 0; ++position_, --remaining) {
    const auto& row = rows_.rows[position_];
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += columnDelimiter;
      if (row[i].isNull()) {
        text += nullText;
      } else {
        text += row[i].toText();
      }
    }
    text += rowDelimiter;
  }
  return text;
}

}  // namespace leafward::dataaccess
