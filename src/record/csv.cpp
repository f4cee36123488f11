#include "record/csv.h"

namespace leafward::record {
namespace {

bool needsQuotes(std::string_view field) {
  // A plain loop: find_first_of looks each character up in the set with a call of its own,
  // and an update writes a statement's text into every one of its thousands of rows.
  for (const char c : field) {
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  }
  return !field.empty() && (field.front() == ' ' || field.back() == ' ');
}

}  // namespace

std::string csvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    const std::string& field = fields[i];
    if (!needsQuotes(field)) {
      line += field;
      continue;
    }
    line += '"';
    for (char c : field) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  line += "\r\n";
  return line;
}

bool CsvCursor::next(CsvRecord& record) {
  record = CsvRecord{line_, 0, {}};
  if (at_ >= text_.size() || !problem_.empty() || cutShort_) return false;
  for (;;) {
    std::string field;
    if (!readField(field)) return false;
    record.fields.push_back(std::move(field));
    if (at_ >= text_.size()) return cut();
    if (text_[at_] == ',') {
      ++at_;
      continue;
    }
    // A line end: only CR LF.
    if (text_[at_] == '\n') return fail("the line ends with LF alone, not CR LF");
    if (at_ + 1 >= text_.size()) return cut();
    if (text_[at_ + 1] != '\n') return fail("a CR stands without LF");
    at_ += 2;
    ++line_;
    record.end = at_;
    return true;
  }
}

bool CsvCursor::readField(std::string& field) {
  if (at_ < text_.size() && text_[at_] == '"') return readQuoted(field);
  const std::size_t end = text_.find_first_of(",\r\n\"", at_);
  const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
  field.assign(text_.substr(at_, stop - at_));
  at_ = stop;
  if (at_ < text_.size() && text_[at_] == '"') {
    return fail("a quote stands inside a field that does not begin with one");
  }
  return true;
}

bool CsvCursor::readQuoted(std::string& field) {
  ++at_;
  for (;;) {
    const std::size_t quote = text_.find('"', at_);
    if (quote == std::string_view::npos) {
      at_ = text_.size();
      return cut();
    }
    for (std::size_t i = at_; i < quote; ++i) line_ += text_[i] == '\n' ? 1 : 0;
    field.append(text_.substr(at_, quote - at_));
    at_ = quote + 1;
    if (at_ < text_.size() && text_[at_] == '"') {
      field += '"';
      ++at_;
      continue;
    }
    if (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '\r' && text_[at_] != '\n') {
      return fail("something other than a comma or a line end follows a closing quote");
    }
    return true;
  }
}

bool CsvCursor::fail(const char* what) {
  problem_ = what;
  problemLine_ = line_;
  return false;
}

bool CsvCursor::cut() {
  cutShort_ = true;
  return false;
}

CsvText readCsv(std::string_view text) {
  CsvText result;
  CsvCursor cursor(text);
  CsvRecord record;
  while (cursor.next(record)) result.records.push_back(std::move(record));
  result.problem = cursor.problem();
  result.problemLine = cursor.problemLine();
  result.cutShort = cursor.cutShort();
  return result;
}

}  // namespace leafward::record
