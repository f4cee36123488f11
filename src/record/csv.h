#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace leafward::record {

// CSV as RFC 4180 has it: fields separated by commas, each line ended by CR LF; a field that
// holds a comma, a quote, CR or LF is quoted, a quote inside it doubled.

// The fields as one line, CR LF included. A field that begins or ends with a space is quoted
// too, so that no reader trims it.
std::string csvLine(const std::vector<std::string>& fields);

struct CsvRecord {
  std::size_t line = 0;  // where it begins, counted from 1 by line ends
  std::size_t end = 0;   // the offset just past its CR LF
  std::vector<std::string> fields;
};

// What readCsv found. Reading stops at the first problem, or at text after the last CR LF.
struct CsvText {
  std::vector<CsvRecord> records;  // each ended by CR LF
  std::string problem;             // what is wrong, in a sentence; empty when nothing is
  std::size_t problemLine = 0;
  bool cutShort = false;  // the text ends inside a line: no CR LF after its last record
};

// Reads strict RFC 4180: a quote inside an unquoted field, anything but a comma or a line end
// after a closing quote, and a line ended by LF or CR alone are problems.
CsvText readCsv(std::string_view text);

// The same, one record at a time, so that a long text is never held as records all at once.
class CsvCursor {
 public:
  explicit CsvCursor(std::string_view text) : text_(text) {}
  // The next record, ended by CR LF; false at the end of the text, at a problem, or when the
  // text ends inside a record.
  bool next(CsvRecord& record);
  const std::string& problem() const { return problem_; }
  std::size_t problemLine() const { return problemLine_; }
  bool cutShort() const { return cutShort_; }

 private:
  bool readField(std::string& field);
  bool readQuoted(std::string& field);
  bool fail(const char* what);
  bool cut();

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
  std::string problem_;
  std::size_t problemLine_ = 0;
  bool cutShort_ = false;
};

}  // namespace leafward::record
