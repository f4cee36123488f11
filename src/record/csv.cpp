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

// Reads one record from `at`; false at a problem or when the text ends inside it.
class RecordReader {
 public:
  RecordReader(std::string_view text, CsvText& result) : text_(text), result_(result) {}

  bool atEnd() const { return at_ >= text_.size(); }

  bool read() {
    CsvRecord record{line_, 0, {}};
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
      if (text_[at_] == '\n') return problem("the line ends with LF alone, not CR LF");
      if (at_ + 1 >= text_.size()) return cut();
      if (text_[at_ + 1] != '\n') return problem("a CR stands without LF");
      at_ += 2;
      ++line_;
      record.end = at_;
      result_.records.push_back(std::move(record));
      return true;
    }
  }

 private:
  bool readField(std::string& field) {
    if (at_ < text_.size() && text_[at_] == '"') return readQuoted(field);
    const std::size_t end = text_.find_first_of(",\r\n\"", at_);
    const std::size_t stop = end == std::string_view::npos ? text_.size() : end;
    field.assign(text_.substr(at_, stop - at_));
    at_ = stop;
    if (at_ < text_.size() && text_[at_] == '"') {
      return problem("a quote stands inside a field that does not begin with one");
    }
    return true;
  }

  bool readQuoted(std::string& field) {
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
        return problem("something other than a comma or a line end follows a closing quote");
      }
      return true;
    }
  }

  bool problem(const char* what) {
    result_.problem = what;
    result_.problemLine = line_;
    return false;
  }

  bool cut() {
    result_.cutShort = true;
    return false;
  }

  std::string_view text_;
  CsvText& result_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
};

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

CsvText readCsv(std::string_view text) {
  CsvText result;
  RecordReader reader(text, result);
  while (!reader.atEnd() && reader.read()) {
  }
  return result;
}

}  // namespace leafward::record
